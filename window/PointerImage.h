#pragma once

#include <QByteArray>
#include <QCursor>
#include <QIcon>
#include <QPoint>
#include <QString>

// The hot spot that a cursor file (.cur) stores for its first image, or
// (-1, -1) when the data is not a cursor file.
QPoint CursorHotspot(const QByteArray& cursorFile);

// A pointer image from a cursor or icon file, with the file's hot spot.
// Throws Failure when the file cannot be read or holds no picture.
QCursor LoadPointerImage(const QString& path);

// The program's own icon.
QIcon ApplicationIcon();

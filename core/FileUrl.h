#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// file: URLs carry a name as percent-encoded bytes, so a name that is not
// UTF-8 crosses a drop or a call to the file browser whole; Qt's own URL
// routines would replace its odd bytes.

// The local paths of a "text/uri-list" (as a drop delivers it), in order.
// Comment lines, other schemes and files on other hosts are passed over.
QStringList LocalPathsOfUriList(const QByteArray& uriList);

// The file: URL of a local path.
QByteArray FileUrlOf(const QString& path);

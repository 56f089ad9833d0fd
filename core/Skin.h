#pragma once

#include <QString>

// The optional skin: a Qt style sheet at x/o.cjs in the program's folder.
QString SkinPath(const QString& appFolder);

// True when the skin file is there as a plain file (not hidden or system).
bool IsSkinPresent(const QString& skinPath);

// The style sheet's text. Throws Failure when the file cannot be read.
QString ReadSkin(const QString& skinPath);

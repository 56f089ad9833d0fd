#pragma once

#include <QString>
#include <QStringList>

// True on Windows when the path holds the wildcards "?" or "*", which never
// name a file there. Elsewhere they are ordinary characters of a name.
bool HasWildcards(const QString& path);

// True when the path names an existing file (not a folder) that can be
// opened. On Windows names with the wildcards "?" or "*" never do. Never
// fails.
bool IsExistingFile(const QString& path);

// True when the path's attributes cannot be read: it does not exist, or
// its name cannot be used.
bool IsBadPath(const QString& path);

// The bare names of the files in a folder (with or without its closing
// separator) that match the pattern ("*" and "?" wildcards; "*.*" matches
// every name) and pass IsExistingFile, hidden ones included, in listing
// order. Empty when none qualifies.
QStringList GetFilesInFolder(const QString& folder, const QString& pattern);

#pragma once

#include <QChar>
#include <QString>

#include <filesystem>
#include <string_view>

// Paths are plain texts with the platform's separator ("\" on Windows, "/"
// elsewhere). The routines that split paths take the separator as a
// parameter so they work on either form.
QChar NativeSeparator();

// The file-system path of a path text.
std::filesystem::path ToFsPath(const QString& path);

// True when the modification time of the file or folder can be read; false
// on any failure, an empty path included.
bool PathExists(const QString& path);

// True when the path names a folder; false when it is a file or cannot be read.
bool IsFolder(const QString& path);

// The path with a closing separator, added when it lacks one.
QString WithClosingSeparator(const QString& path);

// A file name as the file system gave it (UTF-8 bytes on Windows, the raw
// bytes elsewhere), as text.
QString DecodeFileName(std::string_view name);

// The text after the last separator; the whole text when there is none.
QString FileNameOf(const QString& path, QChar separator = NativeSeparator());

// The text up to and including the last separator; "" when there is none.
QString FolderOf(const QString& path, QChar separator = NativeSeparator());

// Lets window events run once, then deletes the file, also a read-only one.
// Every failure is ignored.
void DeleteFileForced(const QString& path);

// The user's Desktop folder with a closing separator. Throws Failure when it
// cannot be determined.
QString DesktopFolder();

// The folder that holds the program, without a closing separator.
QString AppFolder();

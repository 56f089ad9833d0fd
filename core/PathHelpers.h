#pragma once

#include "platform/FileSystem.h"

#include <QChar>
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <filesystem>

class QFile;

// Paths are plain texts with the platform's separator ("\" on Windows, "/"
// elsewhere). The routines that split paths take the separator as a
// parameter so they work on either form.
QChar NativeSeparator();

// The one way between the texts the program shows and the names the file
// system holds: on POSIX a byte that is not UTF-8 travels as an escaped code
// unit (see platform/NameCodec.h), so any name comes back as the same bytes.
std::filesystem::path ToFsPath(const QString& path);
QString FromFsName(platform::NativeStringView name);
// The same, appended to a text: a path built from its folder and a listed
// name, in one piece.
void AppendFsName(QString& text, platform::NativeStringView name);
// A name as bytes that files written for other programs hold: on POSIX the
// file system's own, so that a name that is not UTF-8 keeps them; on Windows
// its UTF-16 as UTF-8. NameOfBytes reads them back.
QByteArray NameBytes(const QString& name);
QString NameOfBytes(const QByteArray& bytes);

// A path that Qt's own file routines gave (a file dialog's answer). They
// read names that are not UTF-8 with replacement marks; such a name is found
// again in its folder and given back in the program's own form.
QString PathFromQt(const QString& path);

// A text as the user can read it: a byte that is not UTF-8, and a control
// character (C0 such as a newline in a name, DEL, or C1), shows as the
// replacement mark.
QString ReadableText(const QString& text);

// The lines of a message, each readable. Messages end their lines with CR
// (or CR LF); a line feed alone belongs to a name in the message.
QStringList MessageLines(const QString& message);

// Opens a file for reading into file. Throws Failure, with the system's
// reason, when it cannot be opened.
void OpenForReading(QFile& file, const QString& path);

// True when the modification time of the file or folder can be read; false
// on any failure, an empty path included.
bool PathExists(const QString& path);

// What stands at a path, without following a link there: a link put in a
// file's or folder's place is a link.
std::filesystem::file_status StatusAt(const QString& path);

// True when something (a file, a folder, a link, even a dangling one) holds
// the path's name.
bool IsNameTaken(const QString& path);

// True when the path names a folder; false when it is a file or cannot be read.
bool IsFolder(const QString& path);

// A path as typed, made absolute from the working folder and written with
// the system's separators (on Windows "C:/music" is "C:\\music").
QString AbsolutePath(const QString& path);

// The path with a closing separator, added when it lacks one.
QString WithClosingSeparator(const QString& path);

// The text after the last separator; the whole text when there is none.
QString FileNameOf(const QString& path, QChar separator = NativeSeparator());

// The text up to and including the last separator; "" when there is none.
QString FolderOf(const QString& path, QChar separator = NativeSeparator());

// Lets window events run once, then deletes the file, also a read-only one.
// Every failure is ignored.
void DeleteFileForced(const QString& path);

// The user's Desktop folder with a closing separator, made when missing
// (except on Windows). Throws Failure when there is none.
QString DesktopFolder();

// The folder that holds the program's own files (samples, pointers, skin),
// without a closing separator: the program's folder when it holds Samples
// (a build, or a portable folder), otherwise ../share/quorvex beside it,
// where an installed package keeps them.
QString AppFolder();

// Where AppFolder() looks, given the folder that holds the program.
QString DataFolderBeside(const QString& programFolder);

#pragma once

// A file's name as TagLib opens it; for the device layer's TagLib readers
// and writers only.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <taglib/tiostream.h>

// TagLib keeps a pointer to the name, so the name is kept alive beside it.
#ifdef _WIN32
using NativeName = QString;
inline NativeName NativeNameOf(const QString& path) { return path; }
inline TagLib::FileName TagLibName(const NativeName& name) { return reinterpret_cast<const wchar_t*>(name.utf16()); }
#else
using NativeName = QByteArray;
inline NativeName NativeNameOf(const QString& path) { return QFile::encodeName(path); }
inline TagLib::FileName TagLibName(const NativeName& name) { return name.constData(); }
#endif

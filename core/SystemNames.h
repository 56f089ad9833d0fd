#pragma once

#include "platform/FileSystem.h"

// The folders and files that systems keep for themselves on a drive or a
// stick: recycle bins, indexes, found fragments and thumbnail caches. They
// are no one's music or photos, and a draw never takes them, whatever
// system wrote them. Names are compared without letter case.

// $RECYCLE.BIN, RECYCLER, System Volume Information, .Trash-*, .Trashes,
// lost+found and FOUND.nnn (found.000, FOUND.001, ...).
bool IsSystemFolderName(platform::NativeStringView name);

// Thumbs.db, desktop.ini, .DS_Store and AppleDouble's ._* files.
bool IsSystemFileName(platform::NativeStringView name);

// Whether a folder's entry is a file a draw takes: a regular file, neither
// hidden nor the system's own.
inline bool IsPlainFile(const platform::FolderEntry& entry)
{
    return entry.kind == platform::EntryKind::File && !entry.hidden && !entry.system && !IsSystemFileName(entry.name);
}

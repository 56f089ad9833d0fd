#pragma once

#include "core/FolderFiles.h"

#include <QStringList>

#include <system_error>
#include <vector>

class ProblemSink;

// A folder whose listing the system refused, and why.
struct DeniedFolder {
    QString path;
    std::error_code error;
};

// Appends to folders every folder below its entries, breadth-first: level by
// level, each level grouped by parent in the parents' order, each parent's
// subfolders in listing order. Every entry ends in the separator.
//
// Left out, with everything below them: subfolders whose names are too long
// or are "." or ".." (on Windows also names with bad characters or "?"); folders Windows keeps to
// itself (hidden and system, except drive roots); the folders systems keep
// for themselves by name ($RECYCLE.BIN, lost+found: see SystemNames.h); folders whose listing is
// denied or that vanish meanwhile (these are also removed from folders);
// and a folder that is its own ancestor on the path walked to it (a link
// leading back up), so a tree with loops still ends. A folder reached by
// paths that form no loop is listed under each of them, up to 8 paths.
//
// With recurse false only the first level below the entries is added.
// Window events run now and then; all the scan's state is its own, so a
// second scan started meanwhile runs to its end without disturbing this one.
// inByteOrder takes each folder's subfolders in the byte order of their
// names rather than the file system's listing order (the command line's
// seeds must give the same plan on any machine). With files, the plain files
// of every folder entered (but those systems keep, such as Thumbs.db) are
// kept there too, so that they need not be read
// again; with unreadable, the folders left out for a denied listing are
// named there with the system's error.
void GetSubDirectories2016(QStringList& folders, bool recurse, ProblemSink& problems, bool inByteOrder = false,
                           FolderFiles* files = nullptr, std::vector<DeniedFolder>* unreadable = nullptr);

// The rows "Add All Subfolders In Folder" adds after the chosen folder's own
// row, top (which ends in the separator): every folder below it that the
// scan accepts.
QStringList FoldersBelow(const QString& top, ProblemSink& problems, bool inByteOrder = false,
                         FolderFiles* files = nullptr, std::vector<DeniedFolder>* unreadable = nullptr);

#pragma once

#include <QStringList>

class Dialogs;

// Appends to folders every folder below its entries, breadth-first: level by
// level, each level grouped by parent in the parents' order, each parent's
// subfolders in listing order. Every entry ends in the separator.
//
// Left out, with everything below them: subfolders whose names are too long,
// hold bad characters, "?" or are "." or ".."; folders Windows keeps to
// itself (hidden and system, except drive roots); folders whose listing is
// denied or that vanish meanwhile (these are also removed from folders);
// and a folder that the scan already entered under another path (a link
// leading back up), so a tree with loops still ends.
//
// With recurse false only the first level below the entries is added.
// Window events run now and then; all the scan's state is its own, so a
// second scan started meanwhile runs to its end without disturbing this one.
void GetSubDirectories2016(QStringList& folders, bool recurse, Dialogs& dialogs);

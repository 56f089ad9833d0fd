#pragma once

#include "platform/FileSystem.h"

#include <QHash>
#include <QString>

#include <vector>

// The plain files of folders (no hidden or system files, nothing that is not
// a regular file), in listing order, keyed by the folder's path as a row
// holds it: what one reading of each folder found, so that a folder read
// for one purpose need not be read again for another.
using FolderFiles = QHash<QString, std::vector<platform::NativeString>>;

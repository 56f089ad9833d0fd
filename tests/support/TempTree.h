#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "core/CopyListRow.h"
#include "support/QtPrinters.h"

#include <string>
#include <vector>

// A folder tree in a fresh temporary folder, removed at the end of the test.
class TempTree {
public:
    TempTree();

    // The full path of a relative path inside the tree, native separators.
    QString Path(const QString& relative = {}) const;
    QString WriteFile(const QString& relative, const QByteArray& content = {});
    QString MakeFolder(const QString& relative);

private:
    QTemporaryDir root_;
};

// File names that copies have got wrong before, as the file system holds
// them: wildcard characters, a byte that is not UTF-8, a C1 control, and the
// words that join a copy row's two paths.
extern const std::vector<std::string> kAwkwardNames;

// A file's bytes; a test failure when it cannot be opened.
QByteArray FileBytes(const QString& path);

// The names in a folder, hidden ones included, sorted: to see that no
// temporary file was left behind.
QStringList FolderEntries(const QString& folder);

// Bytes in a pattern with a prime period (251), so that a copy that is
// short, shifted or pieced together wrongly differs from it.
QByteArray PatternBytes(int size);

// The rows whose destination does not hold exactly its source's bytes, each
// with what went wrong; empty when every copy is whole.
QStringList RowsNotCopied(const QList<CopyRow>& rows);

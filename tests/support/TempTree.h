#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "support/QtPrinters.h"

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

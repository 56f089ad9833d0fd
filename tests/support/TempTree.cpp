#include "TempTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

TempTree::TempTree() { EXPECT_TRUE(root_.isValid()); }

QString TempTree::Path(const QString& relative) const
{
    const QString path = relative.isEmpty() ? root_.path() : root_.filePath(relative);
    return QDir::toNativeSeparators(path);
}

QString TempTree::WriteFile(const QString& relative, const QByteArray& content)
{
    const QString path = root_.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    EXPECT_EQ(file.write(content), content.size());
    return QDir::toNativeSeparators(path);
}

QString TempTree::MakeFolder(const QString& relative)
{
    const QString path = root_.filePath(relative);
    EXPECT_TRUE(QDir().mkpath(path)) << path.toStdString();
    return QDir::toNativeSeparators(path);
}

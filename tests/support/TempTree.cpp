#include "TempTree.h"

#include "core/PathHelpers.h"

#include <QDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

// Files and folders are made through the program's own path conversion, so a
// test can name them with escaped bytes that are not UTF-8.

TempTree::TempTree() { EXPECT_TRUE(root_.isValid()); }

QString TempTree::Path(const QString& relative) const
{
    const QString path = relative.isEmpty() ? root_.path() : root_.path() + u'/' + relative;
    return QDir::toNativeSeparators(path);
}

QString TempTree::WriteFile(const QString& relative, const QByteArray& content)
{
    const QString path = Path(relative);
    const std::filesystem::path file = ToFsPath(path);
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(content.constData(), content.size());
    out.close();
    EXPECT_TRUE(out.good()) << path.toStdString();
    return path;
}

QString TempTree::MakeFolder(const QString& relative)
{
    const QString path = Path(relative);
    std::error_code error;
    std::filesystem::create_directories(ToFsPath(path), error);
    EXPECT_FALSE(error) << path.toStdString() << ": " << error.message();
    return path;
}

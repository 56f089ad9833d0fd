#include "TempTree.h"

#include "core/PathHelpers.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <optional>
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

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray PatternBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((static_cast<quint64>(i) * 7919) % 251);
    return bytes;
}

const std::vector<std::string> kAwkwardNames = {"what?.txt", "star*.txt", "caf\xe9.txt", "csi\xc2\x9b.txt",
                                                "x will be copied to y.txt"};

namespace {

std::optional<std::string> Bytes(const QString& path)
{
    std::ifstream in(ToFsPath(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

QStringList RowsNotCopied(const QList<CopyRow>& rows)
{
    QStringList wrong;
    for (const CopyRow& row : rows) {
        const auto from = Bytes(row.source);
        const auto to = Bytes(row.Destination());
        if (!from || from->empty())
            wrong << QStringLiteral("no source bytes: ") + CopyRowText(row);
        else if (from != to)
            wrong << QStringLiteral("the copy differs: ") + CopyRowText(row);
    }
    return wrong;
}

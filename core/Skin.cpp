#include "core/Skin.h"

#include "core/Failure.h"
#include "core/PathHelpers.h"

#include "platform/FileSystem.h"

#include <QFile>

QString SkinPath(const QString& appFolder)
{
    return appFolder + NativeSeparator() + QStringLiteral("x") + NativeSeparator() + QStringLiteral("o.cjs");
}

bool IsSkinPresent(const QString& skinPath)
{
    // A plain file only: no hidden or system file, as on Windows, and no
    // pipe that would never end.
    const std::filesystem::path path = ToFsPath(skinPath);
    const int attributes = platform::FileAttributes(path);
    return platform::IsRegularFile(path) && (attributes & (platform::kHidden | platform::kSystem)) == 0;
}

QString ReadSkin(const QString& skinPath)
{
    QFile file;
    OpenForReading(file, skinPath);
    const QByteArray sheet = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(file.errorString() + QStringLiteral(": ") + skinPath);
    return QString::fromUtf8(sheet);
}

#include "Skin.h"

#include "Failure.h"
#include "PathHelpers.h"

#include "platform/FileSystem.h"

#include <QFile>

QString SkinPath(const QString& appFolder)
{
    return appFolder + NativeSeparator() + QStringLiteral("x") + NativeSeparator() + QStringLiteral("o.cjs");
}

bool IsSkinPresent(const QString& skinPath)
{
    // A hidden or system file is not looked at, as on Windows.
    const int attributes = platform::FileAttributes(ToFsPath(skinPath));
    return attributes >= 0 && (attributes & (platform::kHidden | platform::kSystem | platform::kDirectory)) == 0;
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

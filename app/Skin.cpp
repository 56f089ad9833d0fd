#include "Skin.h"

#include "Failure.h"
#include "PathHelpers.h"

#include <QFile>
#include <QFileInfo>

QString SkinPath(const QString& appFolder)
{
    return appFolder + NativeSeparator() + QStringLiteral("x") + NativeSeparator() + QStringLiteral("o.cjs");
}

bool IsSkinPresent(const QString& skinPath)
{
    const QFileInfo info(skinPath);
    return info.isFile() && !info.isHidden();
}

QString ReadSkin(const QString& skinPath)
{
    QFile file(skinPath);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(file.errorString() + QStringLiteral(": ") + skinPath);
    const QByteArray sheet = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(file.errorString() + QStringLiteral(": ") + skinPath);
    return QString::fromUtf8(sheet);
}

#include "FatStick.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/vfs.h>

namespace {

// Empty when the program ran and succeeded; else what went wrong.
QString Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30'000))
        return program + QStringLiteral(": ") + process.errorString();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return {};
}

bool IsFuse(const QString& folder)
{
    constexpr decltype(statfs::f_type) kFuseMagic = 0x65735546;
    struct statfs facts {};
    return ::statfs(folder.toLocal8Bit().constData(), &facts) == 0 && facts.f_type == kFuseMagic;
}

} // namespace

FatStick::FatStick(int clusterKiB)
{
    const QString image = root_.filePath(QStringLiteral("stick.img"));
    if (!root_.isValid() || !QDir().mkdir(Folder()))
        problem_ = QStringLiteral("no temporary folder for the image");
    if (problem_.isEmpty())
        problem_ = Run(QStringLiteral("mkfs.fat"),
                       (clusterKiB > 0 ? QStringList {"-s", QString::number(clusterKiB * 2)} : QStringList {})
                           + QStringList {"-C", image, "16384"});
    if (problem_.isEmpty())
        problem_ = Run(QStringLiteral("fusefat"), {"-o", "rw+", image, Folder()});
    if (problem_.isEmpty() && !IsFuse(Folder()))
        problem_ = QStringLiteral("fusefat mounted no FUSE file system");
}

FatStick::~FatStick()
{
    if (IsMounted())
        Run(QStringLiteral("fusermount"), {"-u", Folder()});
}

bool FatStick::Usable() const
{
    if (!IsMounted() && qEnvironmentVariableIntValue("QUORVEX_REQUIRE_FAT_STICK") != 0)
        ADD_FAILURE() << "this test run needs the FAT stick: " << problem_.toStdString();
    return IsMounted();
}

QString FatStick::Folder() const { return root_.filePath(QStringLiteral("mnt")); }

#include "FatStick.h"

#include <QDir>
#include <QProcess>

#include <sys/vfs.h>

namespace {

bool Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(30'000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool IsFuse(const QString& folder)
{
    constexpr decltype(statfs::f_type) kFuseMagic = 0x65735546;
    struct statfs facts {};
    return ::statfs(folder.toLocal8Bit().constData(), &facts) == 0 && facts.f_type == kFuseMagic;
}

} // namespace

FatStick::FatStick()
{
    const QString image = root_.filePath(QStringLiteral("stick.img"));
    if (!root_.isValid() || !QDir().mkdir(Folder()) || !Run(QStringLiteral("mkfs.fat"), {"-C", image, "16384"}))
        return;
    mounted_ = Run(QStringLiteral("fusefat"), {"-o", "rw+", image, Folder()}) && IsFuse(Folder());
}

FatStick::~FatStick()
{
    if (mounted_)
        Run(QStringLiteral("fusermount"), {"-u", Folder()});
}

QString FatStick::Folder() const { return root_.filePath(QStringLiteral("mnt")); }

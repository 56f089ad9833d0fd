#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace fixtures {

// What went wrong running a tool that makes or checks a fixture; empty
// when it ended well. Its standard output goes to output. Each takes well
// under a second; the limit is for a very busy machine.
inline QString RunTool(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    constexpr int kRunLimitMs = 60'000;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kRunLimitMs)) {
        process.kill();
        process.waitForFinished();
        return program + QStringLiteral(": ") + process.errorString();
    }
    if (output)
        *output = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return {};
}

} // namespace fixtures

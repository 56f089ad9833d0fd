#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The tools that make and check fixtures (ffmpeg, ImageMagick, exiv2, ...)
// are the Linux machine's, also for the Windows build under Wine, which
// starts Linux programs as they are and maps its paths onto Linux's.
namespace fixtures {

// The Linux path of the tool a name or a Linux path gives; empty when
// there is none.
QString HostTool(const QString& name);

// A path of this build as the tools read it.
QString HostPath(const QString& path);

// What went wrong running a tool that makes or checks a fixture; empty
// when it ended well. Its standard output goes to output. Each takes well
// under a second; the limit is for a very busy machine.
QString RunTool(const QString& program, const QStringList& arguments, QByteArray* output = nullptr);

} // namespace fixtures

#pragma once

#include "tags/AudioFacts.h"
#include "device/DeviceProfile.h"
#include "device/Treatment.h"

#include <QString>
#include <QStringList>

#include <chrono>

// Where ffmpeg is: the path chosen (--ffmpeg), then beside the program, then
// on PATH, or where PATH is not set, the system's default path. Empty when
// none is found.
QString FindFfmpeg(const QString& chosen = {});

// Where ffprobe is: beside the ffmpeg found, then looked for as ffmpeg is.
// Empty when none is found.
QString FindFfprobe(const QString& ffmpeg);

// What to tell a user who has no ffmpeg.
QString FfmpegMissingText();

// ffmpeg's first line of -version, which says which build it is; empty
// when it cannot be run.
QString FfmpegVersionLine(const QString& program);

// The arguments that treat source into target (a temporary without an
// extension, so the format is named).
QStringList ConversionArguments(const QString& source, const QString& target, const AudioFacts& facts,
                                const AudioRules& rules, Treatment treatment);

// How long a conversion may take before it is taken for hung: ten times the
// song's length and a minute. QUORVEX_CONVERSION_TIME_LIMIT_MS sets it
// instead, for a test.
std::chrono::milliseconds ConversionTimeLimit(const AudioFacts& facts);

// How a program of ffmpeg's ran: what it printed, and why it failed (its
// last line of error, or that name crashed or was ended after the limit);
// an empty failure when it ended well.
struct ToolRun {
    bool started = false;
    QByteArray output;
    QByteArray errors;
    QString failure;
};
ToolRun RunTool(const QString& name, const QString& program, const QStringList& arguments,
                std::chrono::milliseconds limit);

// Runs ffmpeg; an empty text when it ended well, otherwise why not: its
// last line of error, that it crashed, or that it was ended after limit.
// target is removed when it failed.
QString RunFfmpeg(const QString& program, const QStringList& arguments, const QString& target,
                  std::chrono::milliseconds limit);

#pragma once

#include "device/AudioFacts.h"
#include "device/DeviceProfile.h"
#include "device/Fitting.h"

#include <QString>
#include <QStringList>

#include <chrono>

// Where ffmpeg is: the path chosen (--ffmpeg), then beside the program, then
// on PATH, or where PATH is not set, the system's default path. Empty when
// none is found.
QString FindFfmpeg(const QString& chosen = {});

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

// Runs ffmpeg; an empty text when it ended well, otherwise why not: its
// last line of error, that it crashed, or that it was ended after limit.
// target is removed when it failed.
QString RunFfmpeg(const QString& program, const QStringList& arguments, const QString& target,
                  std::chrono::milliseconds limit);

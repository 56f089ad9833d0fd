#pragma once

#include "support/AudioFixtures.h"
#include "support/PhotoFixtures.h"

#include <QtGlobal>

#include <gtest/gtest.h>

// Skips a test whose fixtures need tools the Linux machine lacks, or fails
// it where the run must have them (./test.sh sets the QUORVEX_REQUIRE_
// variables).
#define REQUIRE_FIXTURE_TOOLS(have, variable, what)                                                                    \
    do {                                                                                                               \
        if (!(have)) {                                                                                                 \
            if (qEnvironmentVariableIsSet(variable))                                                                   \
                FAIL() << what;                                                                                        \
            GTEST_SKIP() << what;                                                                                      \
        }                                                                                                              \
    } while (false)

// Songs tagged by python3-mutagen: Wine runs the Linux machine's tools, and
// the Windows half need not have it, so there the Linux run guards the rules.
#ifdef _WIN32
#define REQUIRE_TAGGING_TOOLS(have, what)                                                                              \
    do {                                                                                                               \
        if (!(have))                                                                                                   \
            GTEST_SKIP() << what;                                                                                      \
    } while (false)
#else
#define REQUIRE_TAGGING_TOOLS(have, what) REQUIRE_FIXTURE_TOOLS(have, "QUORVEX_REQUIRE_FFMPEG", what)
#endif

#define REQUIRE_AUDIO_TOOLS()                                                                                          \
    REQUIRE_FIXTURE_TOOLS(fixtures::HaveAudioTools(), "QUORVEX_REQUIRE_FFMPEG",                                        \
                          "no ffmpeg, ffprobe, wavpack, mpcenc or speexenc on PATH")
#define REQUIRE_PHOTO_TOOLS()                                                                                          \
    REQUIRE_FIXTURE_TOOLS(fixtures::HavePhotoTools(), "QUORVEX_REQUIRE_PHOTO_TOOLS",                                   \
                          "no ImageMagick, exiv2 or heif-info on PATH")

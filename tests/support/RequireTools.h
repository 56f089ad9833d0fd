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

#define REQUIRE_AUDIO_TOOLS()                                                                                          \
    REQUIRE_FIXTURE_TOOLS(fixtures::HaveAudioTools(), "QUORVEX_REQUIRE_FFMPEG",                                        \
                          "no ffmpeg, ffprobe, wavpack, mpcenc or speexenc on PATH")
#define REQUIRE_PHOTO_TOOLS()                                                                                          \
    REQUIRE_FIXTURE_TOOLS(fixtures::HavePhotoTools(), "QUORVEX_REQUIRE_PHOTO_TOOLS",                                   \
                          "no ImageMagick, exiv2 or heif-info on PATH")

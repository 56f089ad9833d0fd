#!/usr/bin/env bash
# Installs what is missing, builds Quorvex and runs every test: once in a
# plain build, then the Debian package's check, the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and last the Windows half
# (under Wine) with its installer. Exits non-zero when any test fails or a
# sanitizer reports anything.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
# A real player opens the playlists a refill writes; ImageMagick, exiv2 and
# heif-info make and check the photos fitted to frames; Debian's encoders
# of WavPack, Musepack and Speex make songs of those kinds.
scripts/install-deps.sh mpv imagemagick exiv2 libheif-examples wavpack musepack-tools speex
jobs=$(nproc)
# The FAT stick test fails here rather than skip where FUSE is missing, the
# read-back test where no loop device can be mounted, and the playlist's
# test where no player can be run.
export QUORVEX_REQUIRE_FAT_STICK=1
export QUORVEX_REQUIRE_LOOP_MOUNT=1
export QUORVEX_REQUIRE_PLAYER=1
# The conversions' tests fail rather than skip where ffmpeg or the photo
# tools are missing.
export QUORVEX_REQUIRE_FFMPEG=1
export QUORVEX_REQUIRE_PHOTO_TOOLS=1

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure
scripts/check-package.sh build

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUORVEX_SANITIZE=ON -DQUORVEX_WERROR=ON
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1" \
LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    ctest --test-dir build-sanitize -j"$jobs" --output-on-failure

# The Windows half: the whole program and its tests cross-built with
# MinGW-w64 and run under Wine, then the installer. The first run on a
# machine builds Qt for Windows into a cache (about 20 minutes on 2 cores).
scripts/windows-tests.sh

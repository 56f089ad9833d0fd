#pragma once

#include "device/DeviceProfile.h"

#include <QByteArray>
#include <QString>

#include <variant>

// Why a profile file was refused: the file, the line (from 1; 0 when the
// file as a whole) and the key it names.
struct ProfileError {
    QString file;
    int line = 0;
    QString key;
    QString reason;

    // "FILE:LINE: KEY: reason", the parts that are known.
    QString Text() const;
};

// A profile file's text: an INI file whose [Audio] section holds Plays,
// MinSampleRate, MaxSampleRate, MaxBitRate, ConvertTo, BitRate, Tags and
// Art. A key not known, a value that is not one the key takes, a key given
// twice or a line that is neither a section, a key nor a comment is refused.
// Keys not given keep the defaults of AudioRules. file names it in errors
// and in the profile's origin.
std::variant<DeviceProfile, ProfileError> ParseProfile(const QByteArray& text, const QString& name,
                                                       const QString& file);

// The same, read from a file (at most 64 KiB).
std::variant<DeviceProfile, ProfileError> ReadProfileFile(const QString& file, const QString& name);

#pragma once

#include "tags/AudioFacts.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What ffprobe tells of a file that no reader in this process takes: its
// first audio stream, its format's tags, and a picture attached as its
// cover. An empty codec when ffprobe finds no audio stream or cannot open
// the file; empty when ffprobe could not be started at all. It runs with
// the time limit of a conversion of unknown length.
std::optional<AudioFacts> ProbeAudioFacts(const QString& ffprobe, const QString& path);

// The same from ffprobe's JSON (-show_format -show_streams).
AudioFacts AudioFactsOfProbe(const QByteArray& json);

#pragma once

#include "tags/AudioFacts.h"

#include <QString>

// Writes an ID3v1 tag into an MP3 file, in Latin-1: what Latin-1 cannot hold
// is folded as plain ASCII names are (é stays, Ł becomes L, 日 "_"). The
// ID3v2 tag in the file is left as it is. False when the file cannot be
// written.
bool WriteLatin1Id3v1(const QString& mp3File, const AudioTags& tags);

// A text as an ID3v1 field holds it: Latin-1, folded where it cannot hold
// a character.
QByteArray Latin1Folded(const QString& text);

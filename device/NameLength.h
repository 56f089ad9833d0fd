#pragma once

#include <QString>

#include <cstdint>

// Names cut to what a device shows: at most limit UTF-16 code units. The
// part before a file's extension is cut, never the extension, nor a
// character in two; the blanks and dots a cut name would end in go, as FAT
// refuses them there.
QString NameWithin(const QString& name, int limit, bool hasExtension = true);

// A clash's numbered name (stem, number, extension, as DestinationFileName
// makes it) within limit: the stem is cut to make room for the number.
QString NumberedNameWithin(const QString& name, std::uint32_t number, int limit);

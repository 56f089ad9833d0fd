#pragma once

#include <cstdint>

// What the library index knows of a file of the sources, read from its tags.
enum class FileKind : std::uint8_t { Other = 0, Song = 1, Photo = 2 };

struct IndexedFacts {
    FileKind kind = FileKind::Other;
    std::uint8_t rating = 0;    // in half stars, 1 to 10; 0: unrated
    std::uint32_t lengthMs = 0; // a song's play time
};

#pragma once

#include <QString>

#include <cstdint>

// "12.3 MiB": a size for people, in powers of 1024.
QString SizeText(std::uint64_t bytes);

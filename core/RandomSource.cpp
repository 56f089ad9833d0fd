#include "core/RandomSource.h"

#include <QTime>

void ProcessRandom::Seed(std::uint32_t seed) { engine_.seed(seed); }

float ProcessRandom::Next()
{
    // 24 random bits fill a float's mantissa exactly, so the value is
    // uniform on [0, 1) and never rounds up to 1.
    return static_cast<float>(engine_() >> 8) * (1.0f / 16777216.0f);
}

std::uint32_t SecondsSinceMidnight()
{
    return static_cast<std::uint32_t>(QTime::currentTime().msecsSinceStartOfDay() / 1000);
}

#pragma once

#include <cstdint>
#include <random>

// The pseudo-random generator that the random selection draws from. It is
// passed in, so that tests can fix the values it gives.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void Seed(std::uint32_t seed) = 0;
    // The next value, uniform in [0, 1), single precision.
    virtual float Next() = 0;
};

// The program's own generator.
class ProcessRandom final : public RandomSource {
public:
    void Seed(std::uint32_t seed) override;
    float Next() override;

private:
    std::mt19937 engine_;
};

// Seconds since midnight, local time: the seed taken at start-up.
std::uint32_t SecondsSinceMidnight();

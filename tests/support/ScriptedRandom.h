#pragma once

#include "core/RandomSource.h"
#include "support/QtPrinters.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A random source whose values the test sets; it records how it was seeded.
// Running out of values fails the test.
class ScriptedRandom final : public RandomSource {
public:
    ScriptedRandom() = default;
    explicit ScriptedRandom(std::vector<float> scripted) : values(std::move(scripted)) {}

    void Seed(std::uint32_t seed) override { seeds.push_back(seed); }
    float Next() override;
    std::size_t Used() const { return next; }

    std::vector<std::uint32_t> seeds;
    std::vector<float> values;
    std::size_t next = 0;
};

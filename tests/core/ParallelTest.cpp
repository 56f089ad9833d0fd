#include "core/Parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

TEST(ForEachInParallel, CoversEveryRangeOnceAndHandsOnTheFirstFailure)
{
    std::vector<int> calls(100'003, 0);
    ForEachRangeInParallel(calls.size(), 1000, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i)
            ++calls[i];
    });
    EXPECT_EQ(std::count(calls.begin(), calls.end(), 1), static_cast<long>(calls.size()));

    // The failure of one call reaches the caller, not std::terminate.
    try {
        ForEachInParallel(1000, [](std::size_t i) {
            if (i == 3)
                throw std::runtime_error("no memory");
        });
        ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "no memory");
    }
}

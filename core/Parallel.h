#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

// Calls work(i) for every i below count, on a few threads at once. work must
// not throw and must touch nothing another call touches.
template <class Work>
void ForEachInParallel(std::size_t count, const Work& work)
{
    const std::size_t threads = std::min<std::size_t>(count, std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    std::atomic<std::size_t> next {0};
    const auto takeWork = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> helpers;
    for (std::size_t helper = 1; helper < threads; ++helper)
        helpers.emplace_back(takeWork);
    takeWork();
    for (std::thread& helper : helpers)
        helper.join();
}

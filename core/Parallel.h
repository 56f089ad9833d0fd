#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

// Calls work(i) for every i below count, on a few threads at once. work must
// touch nothing another call touches. When a call throws, no more calls
// start, and the first exception is thrown again once every thread is done.
template <class Work>
void ForEachInParallel(std::size_t count, const Work& work)
{
    const std::size_t threads = std::min<std::size_t>(count, std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    std::atomic<std::size_t> next {0};
    std::mutex failureLock;
    std::exception_ptr failure;
    const auto takeWork = [&] {
        try {
            for (std::size_t i = next++; i < count; i = next++)
                work(i);
        } catch (...) {
            next = count;
            const std::lock_guard lock(failureLock);
            if (!failure)
                failure = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(threads);
        for (std::size_t helper = 1; helper < threads; ++helper)
            helpers.emplace_back(takeWork);
    } catch (...) {
        // No more threads to be had: the ones there take the work.
    }
    takeWork();
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

// Calls work(begin, end) over the ranges of at most perRange of count items,
// on a few threads at once, as ForEachInParallel does.
template <class Work>
void ForEachRangeInParallel(std::size_t count, std::size_t perRange, const Work& work)
{
    ForEachInParallel((count + perRange - 1) / perRange, [&](std::size_t range) {
        work(range * perRange, std::min(count, (range + 1) * perRange));
    });
}

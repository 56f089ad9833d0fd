// The draw without repeats beside a plain pool that erases from a vector,
// both fed the same values: they must pick the same files.

#include "BenchSupport.h"

#include "randomlist/Draw.h"

#include <cstdint>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

constexpr std::uint32_t kFileCount = 1'000'000;
constexpr std::uint64_t kDraws = 100'000;
constexpr int kRuns = 3;

std::vector<std::uint32_t> ErasingPool(std::uint32_t fileCount, std::uint64_t count, RandomSource& random)
{
    std::vector<std::uint32_t> pool(fileCount);
    std::iota(pool.begin(), pool.end(), 0u);
    std::vector<std::uint32_t> picks;
    picks.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint32_t r = DrawIndex(random.Next(), static_cast<std::uint32_t>(pool.size()));
        picks.push_back(pool[r]);
        pool.erase(pool.begin() + r);
    }
    return picks;
}

} // namespace

int main()
{
    ReplayRandom random(UniformValues(kDraws, 20240601));

    std::vector<std::uint32_t> ours;
    const double oursSeconds = BestOf(kRuns, [&] {
        random.Rewind();
        ours = DrawWithoutRepeats(kFileCount, kDraws, random);
    });

    std::vector<std::uint32_t> peer;
    const double peerSeconds = Seconds([&] {
        random.Rewind();
        peer = ErasingPool(kFileCount, kDraws, random);
    });

    std::printf("%llu draws from %u files\n", static_cast<unsigned long long>(kDraws), kFileCount);
    if (ours != peer) {
        std::size_t first = 0;
        while (first < ours.size() && first < peer.size() && ours[first] == peer[first])
            ++first;
        std::printf("picks differ: %zu vs %zu picks, first difference at draw %zu\n", ours.size(), peer.size(), first);
        return 1;
    }
    std::printf("picks identical: all %zu match the plain pool\n", ours.size());
    PrintResult("draw", oursSeconds, peerSeconds);
    return 0;
}

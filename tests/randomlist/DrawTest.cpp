#include "randomlist/Draw.h"
#include "support/ScriptedRandom.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// The pool as the draw is defined: an ordered list of the positions not yet
// drawn; each draw takes the r-th and closes the gap.
std::vector<std::uint32_t> ReferencePool(std::uint32_t fileCount, std::uint64_t count, RandomSource& random)
{
    std::vector<std::uint32_t> pool(fileCount);
    for (std::uint32_t i = 0; i < fileCount; ++i)
        pool[i] = i;
    std::vector<std::uint32_t> picks;
    for (std::uint64_t i = 0; i < count && !pool.empty(); ++i) {
        const std::uint32_t r = DrawIndex(random.Next(), static_cast<std::uint32_t>(pool.size()));
        picks.push_back(pool[r]);
        pool.erase(pool.begin() + r);
    }
    return picks;
}

std::vector<float> RandomValues(std::mt19937& engine, std::size_t count)
{
    std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
    std::vector<float> values(count);
    for (float& value : values)
        value = uniform(engine);
    return values;
}

} // namespace

TEST(DrawCount, RoundsTheNumberOfFilesMinusOneToEven)
{
    const std::pair<double, std::uint64_t> cases[] = {
        {1, 1}, {2, 2}, {100, 100}, {2.5, 3}, {3.5, 3}, {4.5, 5}, {1.5, 1}, {1.4, 1},
        {2.4, 2}, {2.6, 3}, {0.99, 0}, {0.5, 0}, {0, 0}, {-5, 0},
    };
    for (const auto& [value, draws] : cases)
        EXPECT_EQ(DrawCount(value), draws) << value;
    EXPECT_GT(DrawCount(std::numeric_limits<double>::infinity()), 1'000'000'000'000u);
}

TEST(DrawIndex, StaysInsideTheRange)
{
    EXPECT_EQ(DrawIndex(0.0f, 5), 0u);
    EXPECT_EQ(DrawIndex(0.5f, 5), 2u);
    EXPECT_EQ(DrawIndex(std::nextafter(1.0f, 0.0f), 5), 4u);
    EXPECT_EQ(DrawIndex(std::nextafter(1.0f, 0.0f), 1'000'000), 999'999u);
    EXPECT_EQ(DrawIndex(1.0f, 5), 4u);
}

TEST(DrawWithoutRepeats, TakesTheRankedPositionFromTheShrinkingPool)
{
    // Pool 0..4: 0.5 -> rank 2 (2); pool 0,1,3,4: 0.5 -> rank 2 (3);
    // pool 0,1,4: 0.0 -> 0; pool 1,4: 0.99 -> rank 1 (4).
    ScriptedRandom random({0.5f, 0.5f, 0.0f, 0.99f});
    EXPECT_EQ(DrawWithoutRepeats(5, 4, random), (std::vector<std::uint32_t>{2, 3, 0, 4}));
    EXPECT_EQ(random.Used(), 4u);
}

TEST(DrawWithoutRepeats, PicksWhatThePlainPoolPicks)
{
    std::mt19937 engine(20260807);
    for (int trial = 0; trial < 400; ++trial) {
        // Now and then a pool deep enough for many levels of words.
        const bool deep = trial % 20 == 0;
        const auto fileCount = static_cast<std::uint32_t>(engine() % (deep ? 100'000 : 700) + 1);
        const std::uint64_t count = engine() % (std::min<std::uint32_t>(fileCount, deep ? 2'000 : 700) + 1);
        const std::vector<float> values = RandomValues(engine, count);
        ScriptedRandom fast(values);
        ScriptedRandom plain(values);
        ASSERT_EQ(DrawWithoutRepeats(fileCount, count, fast), ReferencePool(fileCount, count, plain))
            << "files " << fileCount << " draws " << count;
    }
}

TEST(DrawWithoutRepeats, DrawsEveryPositionOnceWhenAllAreTaken)
{
    std::mt19937 engine(7);
    for (std::uint32_t fileCount : {1u, 2u, 3u, 64u, 65u, 1000u, 4097u}) {
        ScriptedRandom random(RandomValues(engine, fileCount));
        std::vector<std::uint32_t> picks = DrawWithoutRepeats(fileCount, fileCount, random);
        std::sort(picks.begin(), picks.end());
        for (std::uint32_t i = 0; i < fileCount; ++i)
            ASSERT_EQ(picks[i], i) << "files " << fileCount;
    }
}

TEST(DrawWithRepeats, CountsEarlierPicksOfTheSameFile)
{
    ScriptedRandom random({0.5f, 0.5f, 0.0f, 0.7f});
    const std::vector<RepeatPick> picks = DrawWithRepeats(3, 4, random);
    ASSERT_EQ(picks.size(), 4u);
    EXPECT_EQ(picks[0].position, 1u);
    EXPECT_EQ(picks[0].repeat, 0u);
    EXPECT_EQ(picks[1].position, 1u);
    EXPECT_EQ(picks[1].repeat, 1u);
    EXPECT_EQ(picks[2].position, 0u);
    EXPECT_EQ(picks[2].repeat, 0u);
    EXPECT_EQ(picks[3].position, 2u);
    EXPECT_EQ(picks[3].repeat, 0u);

    ScriptedRandom none;
    EXPECT_TRUE(DrawWithRepeats(0, 5, none).empty());
    EXPECT_EQ(none.Used(), 0u);
}

// One position beside fifty, with empty groups around them: each round
// gives one of each, and the single one no more often than that.
TEST(DrawBalanced, EveryGroupGivesOneARoundWhateverItsSize)
{
    const std::vector<std::uint32_t> starts = {0, 0, 1, 51};
    std::mt19937 engine(20260902);
    for (int trial = 0; trial < 200; ++trial) {
        ScriptedRandom random(RandomValues(engine, 6));
        const std::vector<RepeatPick> picks = DrawBalanced(starts, 51, 3, false, random);
        ASSERT_EQ(picks.size(), 3u);
        EXPECT_EQ((picks[0].position == 0) + (picks[1].position == 0), 1) << "trial " << trial;
        EXPECT_TRUE(picks[0].position != picks[1].position && picks[1].position != picks[2].position
                    && picks[0].position != picks[2].position) << "trial " << trial;
    }
    ScriptedRandom many(RandomValues(engine, 80));
    std::uint32_t singles = 0;
    for (const RepeatPick& pick : DrawBalanced(starts, 51, 40, true, many)) {
        if (pick.position == 0) {
            EXPECT_EQ(pick.repeat, singles++);
        }
    }
    EXPECT_EQ(singles, 20u);

    // A refused position is not the group's share: the group gives another,
    // and the draw ends when nothing acceptable is left.
    for (int trial = 0; trial < 50; ++trial) {
        ScriptedRandom random(RandomValues(engine, 200));
        const std::vector<RepeatPick> picks =
            DrawBalanced({0, 1}, 51, 5, false, random, [](std::uint32_t position) { return position % 50 == 0; });
        ASSERT_EQ(picks.size(), 2u);
        EXPECT_EQ(picks[0].position + picks[1].position, 50u);
    }
}

#include "randomlist/Draw.h"
#include "support/ScriptedRandom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>
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

// 1 .. 5 stars, then unrated weighing as 3: a star more weighs phi times as much.
const std::vector<double> kStarWeights = {1, std::pow(std::numbers::phi, 1), std::pow(std::numbers::phi, 2),
                                          std::pow(std::numbers::phi, 3), std::pow(std::numbers::phi, 4),
                                          std::pow(std::numbers::phi, 2)};

// Each class's share of `draws` without repeats from classes of classSize
// positions. Heavy classes run low, so the shares are flatter than the
// weights: a position is drawn with a chance close to 1 - exp(-weight t), t
// such that the chances add up to draws (the keys are exponential clocks,
// stopped at about t); for 100 of 600, within 0.5% of a simulation of
// 20,000 draws. Classes too large to run low give the shares with repeats.
std::vector<double> ExpectedShares(const std::vector<double>& weights, double classSize, double draws)
{
    const auto shares = [&](double t) {
        std::vector<double> result;
        for (double weight : weights)
            result.push_back(-classSize * std::expm1(-weight * t) / draws);
        return result;
    };
    double low = 0, high = 1000;
    for (int step = 0; step < 200; ++step) {
        const std::vector<double> tried = shares((low + high) / 2);
        (std::accumulate(tried.begin(), tried.end(), 0.0) < 1 ? low : high) = (low + high) / 2;
    }
    return shares(low);
}

bool Accepted(std::uint32_t position) { return position % 10 != 9; }

std::vector<std::uint32_t> Positions(const std::vector<RepeatPick>& picks)
{
    std::vector<std::uint32_t> positions;
    for (const RepeatPick& pick : picks)
        positions.push_back(pick.position);
    return positions;
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

// 100 positions of each class, every tenth refused; 100 draws over 200
// seeds. Each class's share must be within 15% of what its weight gives:
// about 5 standard deviations for the lightest class, which an unweighted
// draw gives 2.8 times its share. Equal weights must give equal shares, and
// a seed always the same draw.
TEST(DrawWeighted, EachClassGetsTheShareOfItsWeight)
{
    for (const std::vector<double>& weights : {kStarWeights, std::vector<double>(6, 2.5)}) {
        const PositionWeight weightOf = [&](std::uint32_t position) { return weights[position / 100]; };
        for (const bool repeats : {false, true}) {
            std::vector<double> picked(6, 0);
            ProcessRandom random;
            for (std::uint32_t seed = 1; seed <= 200; ++seed) {
                random.Seed(seed);
                const std::vector<RepeatPick> picks = DrawWeighted(600, 100, repeats, random, weightOf, Accepted);
                ASSERT_EQ(picks.size(), 100u);
                ProcessRandom again;
                again.Seed(seed);
                EXPECT_EQ(Positions(DrawWeighted(600, 100, repeats, again, weightOf, Accepted)), Positions(picks));
                for (const RepeatPick& pick : picks) {
                    ASSERT_TRUE(Accepted(pick.position));
                    picked[pick.position / 100] += 1;
                }
            }
            // Passing over the refused draws from the 90 others of each class.
            const std::vector<double> expected = ExpectedShares(weights, repeats ? 1e12 : 90, 100);
            for (std::size_t c = 0; c < 6; ++c)
                EXPECT_NEAR(picked[c] / 20'000, expected[c], 0.15 * expected[c]) << c << " repeats " << repeats;
        }
    }
}

TEST(DrawWeighted, FollowsTheKeysInOrder)
{
    // Keys -ln(1 - value) / weight: 0.69, 0.17, 0 (a value of 0), 0.29,
    // and 0.17 again, after the equal key's position.
    const std::vector<double> weights = {1, 4, 1, 8, 4};
    int asked = 0;
    const PositionWeight weightOf = [&](std::uint32_t position) {
        ++asked;
        return weights[position];
    };
    ScriptedRandom keys({0.5f, 0.5f, 0.0f, 0.9f, 0.5f});
    EXPECT_EQ(Positions(DrawWeighted(5, std::numeric_limits<std::uint64_t>::max(), false, keys, weightOf)),
              (std::vector<std::uint32_t>{2, 1, 4, 3, 0}));
    EXPECT_EQ(keys.Used(), 5u);
    EXPECT_EQ(asked, 5);

    // With repeats, 18 units of weight 1: 0.5 -> unit 9, position 3, refused
    // and out of play; of the 10 left, 0.3 -> unit 3, position 1, and 0.05 ->
    // unit 0.5, position 0.
    ScriptedRandom draws({0.5f, 0.3f, 0.05f});
    EXPECT_EQ(Positions(DrawWeighted(5, 2, true, draws, weightOf, [](auto p) { return p != 3; })),
              (std::vector<std::uint32_t>{1, 0}));
}

// Weights that are no usable number and groups that run past the files or
// back into each other still draw every file once, and no other: weights of
// 0 and below, and not a number, as the lightest, the last by position, and
// an infinite one as the heaviest.
TEST(DrawWeighted, TakesWeightsAndGroupsBeyondTheRules)
{
    const std::vector<double> weights = {
        0, -1, std::numeric_limits<double>::quiet_NaN(), 1, std::numeric_limits<double>::infinity(), 1, 1};
    const PositionWeight weightOf = [&](std::uint32_t position) { return weights[position]; };
    const auto unlimited = std::numeric_limits<std::uint64_t>::max();
    std::mt19937 engine(3);
    ScriptedRandom random(RandomValues(engine, 100));
    std::vector<std::uint32_t> picks =
        Positions(DrawBalancedWeighted({0, 9, 3, 5}, 7, unlimited, false, random, weightOf));
    ScriptedRandom unweighted(RandomValues(engine, 100));
    std::vector<std::uint32_t> plain = Positions(DrawBalanced({0, 9, 3, 5}, 7, unlimited, false, unweighted));
    ASSERT_EQ(picks.size(), 7u);
    EXPECT_EQ(picks[0], 4u);
    EXPECT_EQ(std::vector(picks.begin() + 4, picks.end()), (std::vector<std::uint32_t>{0, 1, 2}));
    for (auto* draw : {&picks, &plain}) {
        std::sort(draw->begin(), draw->end());
        EXPECT_EQ(*draw, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6}));
    }
    ScriptedRandom draws(RandomValues(engine, 20));
    EXPECT_EQ(Positions(DrawWeighted(7, 20, true, draws, weightOf)), std::vector<std::uint32_t>(20, 4));
}

// A group of 10 beside one of 200, half of weight 1 and half of weight 4;
// every tenth position refused. Each round takes one of each group, either
// first, and within the large group the weights act as in DrawWeighted.
TEST(DrawBalancedWeighted, EveryGroupItsTurnAndTheWeightsWithin)
{
    const PositionWeight weightOf = [](std::uint32_t position) { return position < 110 ? 1.0 : 4.0; };
    for (const bool repeats : {false, true}) {
        double light = 0;
        double firstInRound = 0;
        ProcessRandom random;
        for (std::uint32_t seed = 1; seed <= 400; ++seed) {
            random.Seed(seed);
            const std::vector<std::uint32_t> picks =
                Positions(DrawBalancedWeighted({0, 10}, 210, 18, repeats, random, weightOf, Accepted));
            ASSERT_EQ(picks.size(), 18u);
            for (std::size_t round = 0; round < 9; ++round) {
                EXPECT_NE(picks[2 * round] < 10, picks[2 * round + 1] < 10) << "seed " << seed;
                firstInRound += picks[2 * round] < 10;
            }
            for (std::uint32_t position : picks)
                light += position >= 10 && position < 110;
        }
        const double expected = ExpectedShares({1, 4}, repeats ? 1e12 : 90, 9)[0];
        EXPECT_NEAR(light / 3600, expected, 0.15 * expected) << "repeats " << repeats;
        EXPECT_NEAR(firstInRound / 3600, 0.5, 0.05) << "repeats " << repeats;
    }
}

#include "randomlist/Draw.h"

#include "core/RandomSource.h"

#include <cmath>
#include <numeric>

std::uint64_t DrawCount(double numberOfFiles)
{
    if (!(numberOfFiles >= 1.0))
        return 0;
    // nearbyint rounds halves to even in the default rounding mode.
    const double draws = std::nearbyint(numberOfFiles - 1.0) + 1.0;
    constexpr double kMost = 18446744073709549568.0; // the largest double below 2^64
    return draws >= kMost ? static_cast<std::uint64_t>(kMost) : static_cast<std::uint64_t>(draws);
}

std::uint32_t DrawIndex(float u, std::uint32_t size)
{
    const auto index = static_cast<std::uint32_t>(std::floor(static_cast<double>(u) * size));
    // A generator that returns exactly 1 would overrun the range.
    return index < size ? index : size - 1;
}

std::vector<RepeatPick> DrawWithRepeats(std::uint32_t fileCount, std::uint64_t count, RandomSource& random)
{
    std::vector<RepeatPick> picks;
    if (fileCount == 0)
        return picks;
    picks.reserve(count);
    std::vector<std::uint32_t> timesPicked(fileCount, 0);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint32_t position = DrawIndex(random.Next(), fileCount);
        picks.push_back({position, timesPicked[position]++});
    }
    return picks;
}

std::vector<std::uint32_t> DrawWithoutRepeats(std::uint32_t fileCount, std::uint64_t count, RandomSource& random)
{
    std::vector<std::uint32_t> picks;
    if (count > fileCount)
        count = fileCount;
    picks.reserve(count);
    OrderedPool pool(fileCount);
    for (std::uint64_t i = 0; i < count; ++i)
        picks.push_back(pool.TakeAt(DrawIndex(random.Next(), pool.Remaining())));
    return picks;
}

OrderedPool::OrderedPool(std::uint32_t size) : tree_(std::size_t(size) + 1), remaining_(size)
{
    // Every position starts present: node i covers (i & -i) positions.
    for (std::uint32_t i = 1; i <= size; ++i)
        tree_[i] = i & (~i + 1);
    highestStep_ = 1;
    while (highestStep_ <= size / 2)
        highestStep_ *= 2;
}

std::vector<RepeatPick> DrawAccepted(std::uint32_t fileCount, std::uint64_t count, bool repeats,
                                     RandomSource& random, const std::function<bool(std::uint32_t)>& accept)
{
    std::vector<RepeatPick> picks;
    std::vector<std::uint32_t> timesPicked(repeats ? fileCount : 0, 0);
    OrderedPool candidates(fileCount);
    while (picks.size() < count && candidates.Remaining() > 0) {
        const std::uint32_t rank = DrawIndex(random.Next(), candidates.Remaining());
        const std::uint32_t position = candidates.At(rank);
        if (!accept(position)) {
            candidates.TakeAt(rank); // passed over, for good
            continue;
        }
        if (repeats) {
            picks.push_back({position, timesPicked[position]++});
        } else {
            candidates.TakeAt(rank);
            picks.push_back({position, 0});
        }
    }
    return picks;
}

std::vector<RepeatPick> DrawBalanced(const std::vector<std::uint32_t>& groupStarts, std::uint32_t fileCount,
                                     std::uint64_t count, bool repeats, RandomSource& random,
                                     const std::function<bool(std::uint32_t)>& accept)
{
    struct Group {
        std::uint32_t start;
        OrderedPool positions; // within the group
    };
    std::vector<Group> groups;
    for (std::size_t group = 0; group < groupStarts.size(); ++group) {
        const std::uint32_t end = group + 1 < groupStarts.size() ? groupStarts[group + 1] : fileCount;
        if (end > groupStarts[group])
            groups.push_back({groupStarts[group], OrderedPool(end - groupStarts[group])});
    }
    std::vector<RepeatPick> picks;
    std::vector<std::uint32_t> timesPicked(repeats ? fileCount : 0, 0);
    std::vector<std::uint32_t> live(groups.size()); // the groups still holding positions
    std::iota(live.begin(), live.end(), 0u);
    std::vector<std::uint32_t> round; // the groups yet to give a file in this round
    while (picks.size() < count) {
        if (round.empty()) {
            std::erase_if(live, [&](std::uint32_t group) { return groups[group].positions.Remaining() == 0; });
            if (live.empty())
                break;
            round = live;
        }
        const std::uint32_t turn = DrawIndex(random.Next(), static_cast<std::uint32_t>(round.size()));
        Group& group = groups[round[turn]];
        const std::uint32_t rank = DrawIndex(random.Next(), group.positions.Remaining());
        const std::uint32_t position = group.start + group.positions.At(rank);
        const bool accepted = !accept || accept(position);
        if (accepted)
            picks.push_back({position, repeats ? timesPicked[position]++ : 0});
        // Passed over, or drawn without repeats: never drawn again.
        if (!accepted || !repeats)
            group.positions.TakeAt(rank);
        if (accepted || group.positions.Remaining() == 0) {
            round[turn] = round.back();
            round.pop_back();
        }
    }
    return picks;
}

std::uint32_t OrderedPool::At(std::uint32_t rank) const
{
    // Walk down to the last node whose prefix holds at most rank positions;
    // the position after it is the rank-th remaining one.
    const auto size = static_cast<std::uint32_t>(tree_.size() - 1);
    std::uint32_t node = 0;
    std::uint32_t before = rank;
    for (std::uint32_t step = highestStep_; step > 0; step /= 2) {
        const std::uint32_t next = node + step;
        if (next <= size && tree_[next] <= before) {
            node = next;
            before -= tree_[next];
        }
    }
    return node; // 0-based: node + 1 in the tree
}

std::uint32_t OrderedPool::TakeAt(std::uint32_t rank)
{
    // The same walk as At, in one pass: a node the walk does not step past
    // covers the position found, so it loses it. Which way the walk goes is
    // a coin toss at every step, so it is chosen without a branch.
    const auto size = static_cast<std::uint32_t>(tree_.size() - 1);
    std::uint32_t node = 0;
    std::uint32_t before = rank;
    for (std::uint32_t step = highestStep_; step > 0; step /= 2) {
        const std::uint32_t next = node + step;
        if (next > size)
            continue;
        const std::uint32_t count = tree_[next];
        const std::uint32_t stepPast = count <= before ? 1 : 0;
        node += step * stepPast;
        before -= count * stepPast;
        tree_[next] -= 1 - stepPast;
    }
    --remaining_;
    return node;
}

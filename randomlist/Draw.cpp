#include "randomlist/Draw.h"

#include "core/RandomSource.h"

#include <bit>
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
    // u is never negative: truncation is the floor.
    const auto index = static_cast<std::uint32_t>(static_cast<double>(u) * size);
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

namespace {

constexpr std::uint32_t kWordBits = 64;

// The place of the rank-th set bit of a word that holds more than rank:
// the byte that holds it, from the running counts of the bytes' set bits,
// then the bit within that byte.
std::uint32_t SetBitAt(std::uint64_t word, std::uint32_t rank)
{
    constexpr std::uint64_t kEveryByte = 0x0101010101010101u;
    std::uint64_t counts = word - ((word >> 1) & 0x5555555555555555u);
    counts = (counts & 0x3333333333333333u) + ((counts >> 2) & 0x3333333333333333u);
    counts = (counts + (counts >> 4)) & 0x0f0f0f0f0f0f0f0fu;
    const std::uint64_t runningCounts = counts * kEveryByte; // byte k: the set bits of bytes 0 .. k
    std::uint32_t place = 0;
    while (place < 56 && ((runningCounts >> place) & 0xffu) <= rank)
        place += 8;
    if (place > 0)
        rank -= static_cast<std::uint32_t>((runningCounts >> (place - 8)) & 0xffu);
    std::uint64_t rest = word >> place;
    for (; rank > 0; --rank)
        rest &= rest - 1;
    return place + static_cast<std::uint32_t>(std::countr_zero(rest));
}

} // namespace

OrderedPool::OrderedPool(std::uint32_t size)
    : words_((std::size_t(size) + kWordBits - 1) / kWordBits, ~std::uint64_t(0)), tree_(words_.size() + 1),
      remaining_(size)
{
    if (size % kWordBits != 0)
        words_.back() = (std::uint64_t(1) << (size % kWordBits)) - 1;
    // Node i covers the (i & -i) words up to word i.
    for (std::size_t i = 1; i < tree_.size(); ++i) {
        tree_[i] += static_cast<std::uint32_t>(std::popcount(words_[i - 1]));
        const std::size_t parent = i + (i & (~i + 1));
        if (parent < tree_.size())
            tree_[parent] += tree_[i];
    }
    highestStep_ = 1;
    while (highestStep_ <= words_.size() / 2)
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
    // the word after it holds the rank-th remaining one.
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
    return node * kWordBits + SetBitAt(words_[node], before);
}

std::uint32_t OrderedPool::TakeAt(std::uint32_t rank)
{
    // The same walk as At, in one pass: a node the walk does not step past
    // covers the word found, so it loses a position. Which way the walk goes
    // is a coin toss at every step, so it is chosen without a branch.
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
    const std::uint32_t bit = SetBitAt(words_[node], before);
    words_[node] &= ~(std::uint64_t(1) << bit);
    --remaining_;
    return node * kWordBits + bit;
}

#include "randomlist/Draw.h"

#include "core/RandomSource.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

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

struct GroupRange {
    std::uint32_t start;
    std::uint32_t end;
};

// The groups that hold positions, inside 0 .. fileCount-1 and apart: starts
// out of order or past the end would otherwise hand out a position twice, or
// one beyond the files.
std::vector<GroupRange> GroupRanges(const std::vector<std::uint32_t>& groupStarts, std::uint32_t fileCount)
{
    std::vector<GroupRange> ranges;
    std::uint32_t covered = 0;
    for (std::size_t group = 0; group < groupStarts.size(); ++group) {
        const std::uint32_t start = std::max(groupStarts[group], covered);
        const std::uint32_t end =
            std::min(group + 1 < groupStarts.size() ? groupStarts[group + 1] : fileCount, fileCount);
        if (end > start) {
            ranges.push_back({start, end});
            covered = end;
        }
    }
    return ranges;
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
    for (const GroupRange& range : GroupRanges(groupStarts, fileCount))
        groups.push_back({range.start, OrderedPool(range.end - range.start)});
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

namespace {

double UsableWeight(double weight)
{
    if (!(weight > 0.0))
        return std::numeric_limits<double>::min();
    return std::min(weight, std::numeric_limits<double>::max());
}

// The weights of the positions in play in a Fenwick tree, as whole units:
// their sums stay exact however many positions leave play, where sums of
// doubles would drift and could point at a position already gone.
class WeightTree {
public:
    WeightTree(std::uint32_t size, const std::vector<GroupRange>& ranges, const PositionWeight& weightOf);

    // The units of the positions below position.
    std::uint64_t Before(std::uint32_t position) const;
    // The position that holds the unit-th unit (from 0).
    std::uint32_t Find(std::uint64_t unit) const;
    void Remove(std::uint32_t position);

private:
    std::vector<std::uint64_t> tree_; // 1-based
    std::uint32_t highestStep_ = 1;
};

WeightTree::WeightTree(std::uint32_t size, const std::vector<GroupRange>& ranges, const PositionWeight& weightOf)
    : tree_(std::size_t(size) + 1, 0)
{
    // The leaves keep the weights themselves until the heaviest is known,
    // which gives the scale; so the weights take no second array.
    double heaviest = 0.0;
    for (const GroupRange& range : ranges) {
        for (std::uint32_t position = range.start; position < range.end; ++position) {
            const double weight = UsableWeight(weightOf(position));
            heaviest = std::max(heaviest, weight);
            tree_[position + 1] = std::bit_cast<std::uint64_t>(weight);
        }
    }
    // The heaviest gets up to 2^52 units, as many as a double holds exactly,
    // and all together stay below 2^62; a weight too light for a unit still
    // gets one, so that it stays in play.
    const double mostUnits = std::ldexp(1.0, 62) / std::max<double>(size, 1.0);
    const double heaviestUnits = std::floor(std::min(std::ldexp(1.0, 52), mostUnits));
    for (const GroupRange& range : ranges) {
        for (std::uint32_t position = range.start; position < range.end; ++position) {
            const double weight = std::bit_cast<double>(tree_[position + 1]);
            const auto units = static_cast<std::uint64_t>(weight / heaviest * heaviestUnits);
            tree_[position + 1] = std::max<std::uint64_t>(units, 1);
        }
    }
    for (std::size_t i = 1; i < tree_.size(); ++i) {
        const std::size_t parent = i + (i & (~i + 1));
        if (parent < tree_.size())
            tree_[parent] += tree_[i];
    }
    while (highestStep_ <= size / 2)
        highestStep_ *= 2;
}

std::uint64_t WeightTree::Before(std::uint32_t position) const
{
    std::uint64_t units = 0;
    for (std::size_t i = position; i > 0; i &= i - 1)
        units += tree_[i];
    return units;
}

std::uint32_t WeightTree::Find(std::uint64_t unit) const
{
    const std::size_t size = tree_.size() - 1;
    std::size_t node = 0;
    for (std::size_t step = highestStep_; step > 0; step /= 2) {
        const std::size_t next = node + step;
        if (next <= size && tree_[next] <= unit) {
            node = next;
            unit -= tree_[next];
        }
    }
    return static_cast<std::uint32_t>(node);
}

void WeightTree::Remove(std::uint32_t position)
{
    const std::uint64_t units = Before(position + 1) - Before(position);
    for (std::size_t i = std::size_t(position) + 1; i < tree_.size(); i += i & (~i + 1))
        tree_[i] -= units;
}

// The unit floor(u * units) of a draw over units > 0.
std::uint64_t DrawUnit(float u, std::uint64_t units)
{
    if (!(u > 0.0f))
        return 0;
    const auto unit = static_cast<std::uint64_t>(static_cast<double>(u) * static_cast<double>(units));
    return unit < units ? unit : units - 1;
}

struct Keyed {
    float key;
    std::uint32_t position;
};

// The order of a heap that gives the smallest key first, equal keys by position.
bool Later(const Keyed& a, const Keyed& b)
{
    return a.key > b.key || (a.key == b.key && a.position > b.position);
}

float KeyOf(float next, double weight)
{
    // -ln(u) is exponential for u uniform in (0, 1]. A value outside [0, 1)
    // from the source is taken at the nearest end, never as a NaN, which
    // would break the heap's order.
    const double u = 1.0 - static_cast<double>(next);
    const double spread = u > 0.0 ? -std::log(std::min(u, 1.0)) : std::numeric_limits<double>::infinity();
    const double key = spread / UsableWeight(weight);
    return key <= std::numeric_limits<float>::max() ? static_cast<float>(key) : std::numeric_limits<float>::infinity();
}

// The weighted draw over groups; one group without drawn turns is the plain
// weighted draw. Without repeats each group's keys are a heap in the group's
// own range of one array, popped only as far as the draw goes: building it
// takes linear time, so a short draw from many positions never sorts them.
std::vector<RepeatPick> DrawWeightedGroups(const std::vector<GroupRange>& ranges, std::uint32_t fileCount,
                                           std::uint64_t count, bool repeats, bool drawTurns, RandomSource& random,
                                           const PositionWeight& weightOf,
                                           const std::function<bool(std::uint32_t)>& accept)
{
    std::vector<RepeatPick> picks;
    if (count == 0 || ranges.empty())
        return picks;
    if (count <= fileCount)
        picks.reserve(count);
    std::vector<std::uint32_t> left; // the positions still in play in each group
    for (const GroupRange& range : ranges)
        left.push_back(range.end - range.start);

    std::vector<Keyed> keyed;
    std::optional<WeightTree> weights;
    std::vector<std::uint32_t> timesPicked;
    if (repeats) {
        weights.emplace(fileCount, ranges, weightOf);
        timesPicked.assign(fileCount, 0);
    } else {
        keyed.resize(fileCount);
        for (const GroupRange& range : ranges) {
            for (std::uint32_t position = range.start; position < range.end; ++position) {
                const float next = random.Next();
                keyed[position] = {KeyOf(next, weightOf(position)), position};
            }
            std::make_heap(keyed.begin() + range.start, keyed.begin() + range.end, Later);
        }
    }

    std::vector<std::uint32_t> live(ranges.size()); // the groups still holding positions
    std::iota(live.begin(), live.end(), 0u);
    std::vector<std::uint32_t> round; // the groups yet to give a file in this round
    while (picks.size() < count) {
        if (round.empty()) {
            std::erase_if(live, [&](std::uint32_t group) { return left[group] == 0; });
            if (live.empty())
                break;
            round = live;
        }
        const std::uint32_t turn =
            drawTurns ? DrawIndex(random.Next(), static_cast<std::uint32_t>(round.size())) : 0;
        const std::uint32_t group = round[turn];
        const GroupRange& range = ranges[group];
        std::uint32_t position;
        if (repeats) {
            const std::uint64_t before = weights->Before(range.start);
            const std::uint64_t units = weights->Before(range.end) - before;
            position = weights->Find(before + DrawUnit(random.Next(), units));
        } else {
            const auto heapEnd = keyed.begin() + range.start + left[group];
            std::pop_heap(keyed.begin() + range.start, heapEnd, Later);
            position = (heapEnd - 1)->position;
        }
        const bool accepted = !accept || accept(position);
        if (accepted)
            picks.push_back({position, repeats ? timesPicked[position]++ : 0});
        // Passed over, or drawn without repeats: out of play for good.
        if (!accepted || !repeats) {
            if (repeats)
                weights->Remove(position);
            --left[group];
        }
        if (accepted || left[group] == 0) {
            round[turn] = round.back();
            round.pop_back();
        }
    }
    return picks;
}

} // namespace

std::vector<RepeatPick> DrawWeighted(std::uint32_t fileCount, std::uint64_t count, bool repeats,
                                     RandomSource& random, const PositionWeight& weightOf,
                                     const std::function<bool(std::uint32_t)>& accept)
{
    std::vector<GroupRange> all;
    if (fileCount > 0)
        all.push_back({0, fileCount});
    return DrawWeightedGroups(all, fileCount, count, repeats, false, random, weightOf, accept);
}

std::vector<RepeatPick> DrawBalancedWeighted(const std::vector<std::uint32_t>& groupStarts,
                                             std::uint32_t fileCount, std::uint64_t count, bool repeats,
                                             RandomSource& random, const PositionWeight& weightOf,
                                             const std::function<bool(std::uint32_t)>& accept)
{
    return DrawWeightedGroups(GroupRanges(groupStarts, fileCount), fileCount, count, repeats, true, random,
                              weightOf, accept);
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

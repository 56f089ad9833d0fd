#pragma once

#include <cstdint>
#include <functional>
#include <vector>

class RandomSource;

// How many draws a number of files makes: (value - 1) rounded to the nearest
// whole number, halves to the even neighbour, plus 1; 0 below 1. So 2.5
// gives 3 draws.
std::uint64_t DrawCount(double numberOfFiles);

// A pick of the repeat mode: a master-list position and how often it was
// picked before (0 for its first pick).
struct RepeatPick {
    std::uint32_t position;
    std::uint32_t repeat;
};

// count draws over fileCount files, each file equally likely every time.
std::vector<RepeatPick> DrawWithRepeats(std::uint32_t fileCount, std::uint64_t count, RandomSource& random);

// count draws from a pool of the positions 0 .. fileCount-1: each draw takes
// the r-th remaining position in order, r = floor(u * remaining), and removes
// it. count must not exceed fileCount.
std::vector<std::uint32_t> DrawWithoutRepeats(std::uint32_t fileCount, std::uint64_t count, RandomSource& random);

// Draws as the two above do, but offers every drawn position to accept
// first: a position it refuses is passed over and never drawn again. Ends
// after count accepted draws or when no position is left.
std::vector<RepeatPick> DrawAccepted(std::uint32_t fileCount, std::uint64_t count, bool repeats,
                                     RandomSource& random, const std::function<bool(std::uint32_t)>& accept);

// Draws as DrawAccepted does, but in rounds that give every group of
// positions a fair share, whatever its size: in a round each group still
// holding positions gives one (a position it refuses does not count), the
// groups in random order, each of a group's positions equally likely.
// groupStarts holds each group's first position, in order; a group runs up
// to the next one's start (the last one up to fileCount). An empty accept
// accepts every position.
std::vector<RepeatPick> DrawBalanced(const std::vector<std::uint32_t>& groupStarts, std::uint32_t fileCount,
                                     std::uint64_t count, bool repeats, RandomSource& random,
                                     const std::function<bool(std::uint32_t)>& accept = {});

// The weight of a position, above 0; a weighted draw asks it once for each
// position it may draw. A weight that is not above 0 (or not a number)
// counts as the lightest there is, an infinite one as the heaviest.
using PositionWeight = std::function<double(std::uint32_t position)>;

// Draws as DrawAccepted does, each position's chance in proportion to its
// weight. Without repeats, every position gets the key -ln(u) / weight, u in
// (0, 1] from 1 - random.Next(), one value per position in position order, so
// one seed gives one draw; the positions are offered to accept in the order
// of their keys, the smallest first, equal keys by position. A u of 1 gives
// the key 0: the position comes first, as its chance, 2^-24, is negligible.
// With repeats, every draw takes one value and picks a position with the
// chance weight / (the weights of the positions in play); a refused position
// leaves play. A count of UINT64_MAX leaves the end to accept. An empty
// accept accepts every position.
std::vector<RepeatPick> DrawWeighted(std::uint32_t fileCount, std::uint64_t count, bool repeats,
                                     RandomSource& random, const PositionWeight& weightOf,
                                     const std::function<bool(std::uint32_t)>& accept = {});

// DrawBalanced with weights: in every round each group still holding
// positions gives one, the groups in random order as in DrawBalanced; within
// a group, as DrawWeighted draws. Without repeats, all keys are drawn first,
// in position order, and then one value for each turn of a group.
std::vector<RepeatPick> DrawBalancedWeighted(const std::vector<std::uint32_t>& groupStarts,
                                             std::uint32_t fileCount, std::uint64_t count, bool repeats,
                                             RandomSource& random, const PositionWeight& weightOf,
                                             const std::function<bool(std::uint32_t)>& accept = {});

// The positions still in a pool, in order, with the r-th found and removed
// in O(log n): a bit for each position, and a Fenwick tree over the counts
// of each word of 64 bits. The tree is 64 times smaller than one over the
// positions themselves, so a walk down it stays in the processor's cache.
class OrderedPool {
public:
    explicit OrderedPool(std::uint32_t size);

    std::uint32_t Remaining() const { return remaining_; }
    // The rank-th remaining position (from 0).
    std::uint32_t At(std::uint32_t rank) const;
    // Removes and returns the rank-th remaining position.
    std::uint32_t TakeAt(std::uint32_t rank);

private:
    std::vector<std::uint64_t> words_; // bit i of word w: position 64 w + i remains
    std::vector<std::uint32_t> tree_;  // 1-based, over the words' counts
    std::uint32_t highestStep_ = 0;
    std::uint32_t remaining_;
};

// The position floor(u * size) of a draw over size entries.
std::uint32_t DrawIndex(float u, std::uint32_t size);

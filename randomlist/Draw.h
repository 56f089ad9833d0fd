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

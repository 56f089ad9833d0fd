#pragma once

#include "core/CopyListRow.h"
#include "core/FolderFiles.h"
#include "library/LibraryIndex.h"
#include "refill/RefillProblem.h"
#include "refill/RefillSettings.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct SelectionRequest;

// Whether the settings draw by what the library index knows of the sources.
bool DrawsByRating(const RefillSettings& settings);

// How a file of so many half stars weighs in a draw that prefers higher
// ratings: φ^(stars − 1), so that five stars come about 6.9 times as often
// as one.
double RatingWeight(std::uint64_t halfStars);

// What a draw by rating found in its pool and took.
struct RatedDraw {
    bool prefersRated = false;
    std::optional<std::uint64_t> minRating; // in half stars
    std::uint64_t pool = 0;  // the files that may be drawn
    std::uint64_t rated = 0; // of those, the rated ones
    std::array<std::uint64_t, 11> drawn {}; // the drawn files by half stars; [0]: unrated
    QHash<QString, std::uint8_t> ratingOf;  // each drawn file's half stars
};

// "Prefers higher-rated files: 812 of 5,000 rated; drawn: ★5 21, ★4 30, ★3 35, ★2 9, ★1 5."
QString RatedDrawText(const RatedDraw& draw);
// A rating as a plan's row shows it: "★4.5", or "unrated".
QString StarsShown(std::uint8_t halfStars);

// The sources as the library index knows them, for one draw: it brings the
// index up to date for the source rows (telling once what it met), hands
// the draw the files it found with their weights, and counts what the draw
// took.
class RatedSources {
public:
    RatedSources(const RefillSettings& settings, RefillReport& report);

    // Brings the index up to date for the request's source rows; their
    // files go into listed, with their weights into the request.
    void Weigh(SelectionRequest& request, FolderFiles& listed);
    // Counts the drawn files by their ratings.
    void CountDrawn(const QList<CopyRow>& rows);

    const RatedDraw& Draw() const { return draw_; }
    const LibraryIndex::Outcome& IndexOutcome() const { return index_->Result(); }

private:
    float WeightOf(std::uint8_t halfStars) const;

    const RefillSettings& settings_;
    RefillReport& report_;
    std::unique_ptr<LibraryIndex> index_;
    QHash<QString, std::vector<float>> weights_;
    RatedDraw draw_;
};

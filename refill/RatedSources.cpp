#include "refill/RatedSources.h"

#include "core/PathHelpers.h"
#include "core/StateFolder.h"
#include "randomlist/RandomFileList.h"

#include <QLocale>
#include <QSet>

#include <cmath>

bool DrawsByRating(const RefillSettings& settings)
{
    return settings.preferRated || settings.minRating || settings.indexOnly;
}

double RatingWeight(std::uint64_t halfStars)
{
    const double golden = (1.0 + std::sqrt(5.0)) / 2.0;
    return std::pow(golden, static_cast<double>(halfStars) / 2.0 - 1.0);
}

QString StarsShown(std::uint8_t halfStars)
{
    return halfStars == 0 ? QStringLiteral("unrated") : QStringLiteral("★") + StarsText(halfStars);
}

QString RatedDrawText(const RatedDraw& draw)
{
    const QLocale numbers(QLocale::English);
    QStringList drawn;
    for (int halves = 10; halves >= 1; --halves) {
        if (draw.drawn[halves] > 0 || (halves % 2 == 0 && draw.prefersRated))
            drawn << QStringLiteral("%1 %2").arg(StarsShown(static_cast<std::uint8_t>(halves))).arg(draw.drawn[halves]);
    }
    if (draw.drawn[0] > 0)
        drawn << QStringLiteral("unrated %1").arg(draw.drawn[0]);
    const QString pool = QStringLiteral("%1 of %2 rated").arg(numbers.toString(qulonglong(draw.rated)),
                                                              numbers.toString(qulonglong(draw.pool)));
    QString text = draw.prefersRated ? QStringLiteral("Prefers higher-rated files: ")
                                     : QStringLiteral("Draws files rated %1 stars or more: ").arg(StarsText(*draw.minRating));
    if (draw.prefersRated && draw.minRating)
        text = QStringLiteral("Prefers higher-rated files of %1 stars or more: ").arg(StarsText(*draw.minRating));
    return text + pool + QStringLiteral("; drawn: ") + drawn.join(QStringLiteral(", ")) + u'.';
}

RatedSources::RatedSources(const RefillSettings& settings, RefillReport& report)
    : settings_(settings), report_(report), index_(std::make_unique<LibraryIndex>(StateFolder()))
{
    draw_.prefersRated = settings.preferRated;
    draw_.minRating = settings.minRating;
}

// A file's weight: 0 leaves it out, below the least rating asked for.
float RatedSources::WeightOf(std::uint8_t halfStars) const
{
    const std::uint64_t stars = halfStars > 0 ? halfStars : settings_.unratedAs.value_or(kUnratedAsDefault);
    if (settings_.minRating && stars < *settings_.minRating)
        return 0;
    return settings_.preferRated ? static_cast<float>(RatingWeight(stars)) : 1.0f;
}

void RatedSources::Weigh(SelectionRequest& request, FolderFiles& listed)
{
    QHash<QString, std::vector<IndexedFacts>> folders = index_->Update(request.sourceRows, listed);
    const LibraryIndex::Outcome& outcome = index_->Result();
    if (!outcome.setAside.isEmpty())
        report_.Tell({RefillProblem::Kind::IndexSetAside, outcome.setAside});
    if (!outcome.notSaved.isEmpty()) {
        RefillProblem notSaved {RefillProblem::Kind::IndexNotSaved, LibraryIndex::FileIn(StateFolder())};
        notSaved.description = outcome.notSaved;
        report_.Tell(notSaved);
    }
    // Every weight alike and none left out: the plain draw, as if no rating counted.
    bool alike = true;
    const float first = WeightOf(0);
    for (auto folder = folders.cbegin(); folder != folders.cend(); ++folder) {
        std::vector<float>& weights = weights_[folder.key()];
        weights.reserve(folder->size());
        for (const IndexedFacts& facts : *folder) {
            weights.push_back(WeightOf(facts.rating));
            alike = alike && weights.back() == first;
            if (weights.back() > 0) {
                ++draw_.pool;
                draw_.rated += facts.rating > 0 ? 1 : 0;
            }
        }
    }
    request.listed = &listed;
    if (alike && first > 0) {
        weights_.clear();
        return;
    }
    request.weights = &weights_;
    request.otherWeight = first;
}

void RatedSources::CountDrawn(const QList<CopyRow>& rows)
{
    QSet<QString> counted;
    for (const CopyRow& row : rows) {
        if (counted.contains(row.source))
            continue;
        counted.insert(row.source);
        const std::uint8_t rating = index_->Lookup(row.source).rating;
        draw_.ratingOf.insert(row.source, rating);
        ++draw_.drawn[rating <= 10 ? rating : 0];
    }
}

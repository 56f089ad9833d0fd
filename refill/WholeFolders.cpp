#include "refill/WholeFolders.h"

#include "core/PathHelpers.h"

#include <QHash>

QStringList ArrivalFolders(const QString& folder, const QString& root)
{
    const QString below = WithClosingSeparator(folder).mid(WithClosingSeparator(root).size());
    QStringList folders = below.split(NativeSeparator(), Qt::SkipEmptyParts);
    if (folders.isEmpty() || !WithClosingSeparator(folder).startsWith(WithClosingSeparator(root)))
        folders = {FileNameOf(WithClosingSeparator(folder).chopped(1))};
    return folders;
}

namespace {

QString Joined(const QStringList& folders) { return folders.join(NativeSeparator()); }

// The drawn folders: each one's first and one past its last position.
std::vector<std::pair<std::size_t, std::size_t>> DrawnFolders(const Selection& selection)
{
    std::vector<std::pair<std::size_t, std::size_t>> folders;
    for (std::size_t i = 0; i < selection.size(); ++i) {
        if (i == 0 || FolderOf(selection[i].path) != FolderOf(selection[i - 1].path))
            folders.emplace_back(i, i);
        folders.back().second = i + 1;
    }
    return folders;
}

// Hands out the arrival folders of one file system's destinations.
class ArrivalBook {
public:
    ArrivalBook(const ArrivalLookup& lookup, const QStringList& destinations)
        : lookup_(lookup), destinations_(destinations)
    {
    }

    // The free place for a drawn folder whose own place is folders.
    QStringList Place(QStringList folders)
    {
        const QString own = folders.back();
        // A file (or a link) where a folder must go: that folder takes a number.
        for (qsizetype level = 0; level < folders.size(); ++level) {
            const QString name = folders[level];
            for (std::uint32_t number = 1; Blocked(Joined(folders.mid(0, level + 1))); ++number)
                folders[level] = name + QString::number(number);
        }
        // Another drawn folder's place: the innermost folder takes the next
        // number after its own name that is neither drawn nor in the way.
        for (std::uint32_t number = 1; taken_.contains(Joined(folders).toCaseFolded()); ++number) {
            folders.back() = own + QString::number(number);
            while (Blocked(Joined(folders)))
                folders.back() = own + QString::number(++number);
        }
        taken_.insert(Joined(folders).toCaseFolded());
        for (qsizetype level = 1; level <= folders.size(); ++level)
            made_.insert(Joined(folders.mid(0, level)).toCaseFolded());
        return folders;
    }

private:
    bool Blocked(const QString& below)
    {
        if (made_.contains(below.toCaseFolded()))
            return false;
        const auto known = blocked_.constFind(below);
        if (known != blocked_.cend())
            return *known;
        bool blocked = false;
        for (const QString& destination : destinations_)
            blocked = blocked || lookup_.blocked(destination + below);
        blocked_.insert(below, blocked);
        return blocked;
    }

    const ArrivalLookup& lookup_;
    const QStringList& destinations_;
    QSet<QString> taken_; // the drawn folders' places, without letter case
    QSet<QString> made_;  // they and the folders around them
    QHash<QString, bool> blocked_;
};

// The names below the destinations of one file system, in selection order.
QStringList NamesOfRule(const Selection& selection, const QStringList& destinations, NameRule rule,
                        const ArrivalLookup& lookup, bool numbered)
{
    QStringList names;
    names.reserve(static_cast<qsizetype>(selection.size()));
    ArrivalBook book(lookup, destinations);
    const auto folders = DrawnFolders(selection);
    for (std::size_t drawn = 0; drawn < folders.size(); ++drawn) {
        const auto [first, end] = folders[drawn];
        QStringList place = lookup.arrivalOf(FolderOf(selection[first].path));
        for (QString& folder : place)
            folder = NameUnder(rule, folder);
        if (numbered)
            place.front() = PlaceInDraw(drawn, folders.size()) + place.front();
        place = book.Place(place);
        const QString below = Joined(place) + NativeSeparator();
        QStringList arrivals;
        for (const QString& destination : destinations)
            arrivals.append(destination + below);
        const Selection files(selection.begin() + static_cast<std::ptrdiff_t>(first),
                              selection.begin() + static_cast<std::ptrdiff_t>(end));
        for (const QString& name : DestinationNames(files, {}, lookup.takenIn(arrivals), rule))
            names.append(below + name);
    }
    return names;
}

} // namespace

Pairing WholeFolderPairing(ArrivalLookup lookup, bool numbered)
{
    return [lookup = std::move(lookup), numbered](const Selection& selection, const QStringList& folders,
                                                  const DestinationVolumes& volumes) {
        return PairByRule(selection, folders, volumes, [&](NameRule rule, const QStringList& foldersOfRule) {
            return NamesOfRule(selection, foldersOfRule, rule, lookup, numbered);
        });
    };
}

#include "randomlist/CorrelateListviews.h"

#include "core/ErrorReport.h"
#include "core/Parallel.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"

#include "platform/FileSystem.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <tuple>
#include <vector>

QString DestinationFileName(const QString& fileName, std::uint32_t repeat)
{
    if (repeat == 0)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return fileName + QString::number(repeat);
    return fileName.left(dot) + QString::number(repeat) + fileName.mid(dot);
}

QString PlaceInDraw(std::size_t position, std::size_t count)
{
    const int width = static_cast<int>(QString::number(count).size());
    return QStringLiteral("%1 ").arg(position + 1, width, 10, QChar(u'0'));
}

namespace {

// The code point of a name at `at`, case-folded; `at` moves past it.
char32_t NextFolded(QStringView name, qsizetype& at)
{
    char32_t unit = name[at++].unicode();
    if (unit < 0x80)
        return unit >= 'A' && unit <= 'Z' ? unit + ('a' - 'A') : unit;
    if (QChar::isHighSurrogate(unit) && at < name.size() && name[at].isLowSurrogate())
        unit = QChar::surrogateToUcs4(static_cast<char16_t>(unit), name[at++].unicode());
    return QChar::toCaseFolded(unit);
}

// The hash of a name's folded letters, worked out without building a
// folded copy: every name drawn is hashed.
std::size_t FoldedHash(QStringView name)
{
    std::uint64_t value = 14695981039346656037ull; // FNV-1a
    for (qsizetype at = 0; at < name.size();)
        value = (value ^ NextFolded(name, at)) * 1099511628211ull;
    return static_cast<std::size_t>(value);
}

// A name as a case-blind file system compares it.
struct FoldedName {
    explicit FoldedName(const QString& text) : name(text), hash(FoldedHash(text)) {}

    bool operator==(const FoldedName& other) const
    {
        if (hash != other.hash)
            return false;
        qsizetype mine = 0;
        qsizetype theirs = 0;
        while (mine < name.size() && theirs < other.name.size()) {
            if (NextFolded(name, mine) != NextFolded(other.name, theirs))
                return false;
        }
        return mine == name.size() && theirs == other.name.size();
    }

    QString name;
    std::size_t hash;
};

std::size_t qHash(const FoldedName& key, std::size_t seed) { return key.hash ^ seed; }

// Each entry's own name, as the destinations' file system takes it, and
// that name's hash without letter case. A draw from a whole library names
// hundreds of thousands of files: they are named on a few threads at once.
struct OwnNames {
    QStringList names;
    std::vector<std::size_t> hashes;
};

// A drawn file's name before any clash: its own or its repeat name, after
// its place in the draw when the names are numbered.
QString DrawnName(const Selection& selection, std::size_t position, NameRule rule, bool numbered)
{
    const SelectionEntry& entry = selection[position];
    const QString name = DestinationFileName(NameUnder(rule, FileNameOf(entry.path)), entry.repeat);
    return numbered ? PlaceInDraw(position, selection.size()) + name : name;
}

OwnNames OwnNamesOf(const Selection& selection, NameRule rule, bool numbered)
{
    OwnNames own;
    own.names.resize(static_cast<qsizetype>(selection.size()));
    own.hashes.resize(selection.size());
    QString* names = own.names.data();
    ForEachRangeInParallel(selection.size(), kPathsPerThread, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            names[i] = DrawnName(selection, i, rule, numbered);
            own.hashes[i] = FoldedHash(names[i]);
        }
    });
    return own;
}

// True when no two of the names, and none of them and a taken name, are
// alike: then each entry keeps its own name and the book has nothing to
// settle. Only the names' hashes are kept, in a flat table; two names that
// merely share a hash send the draw to the book, which tells them apart.
bool AllDifferent(const std::vector<std::size_t>& hashes, const QSet<QString>& takenNames)
{
    const std::size_t count = hashes.size() + static_cast<std::size_t>(takenNames.size());
    std::size_t capacity = 16;
    while (capacity < 2 * count)
        capacity *= 2;
    std::vector<std::size_t> table(capacity, 0);
    const auto insert = [&](std::size_t hash) {
        hash = std::max<std::size_t>(hash, 1); // 0 marks a free place
        for (std::size_t at = hash & (capacity - 1);; at = (at + 1) & (capacity - 1)) {
            if (table[at] == hash)
                return false;
            if (table[at] == 0) {
                table[at] = hash;
                return true;
            }
        }
    };
    for (const QString& name : takenNames) {
        if (!insert(FoldedHash(name)))
            return false;
    }
    // The places are far apart: each is fetched a few names ahead.
    constexpr std::size_t kAhead = 8;
    for (std::size_t i = 0; i < hashes.size(); ++i) {
#if defined(__GNUC__)
        if (i + kAhead < hashes.size())
            __builtin_prefetch(&table[hashes[i + kAhead] & (capacity - 1)]);
#endif
        if (!insert(hashes[i]))
            return false;
    }
    return true;
}

// Hands out destination names in plan order.
class NameBook {
public:
    NameBook(const Selection& selection, const QStringList& destinationFolders, const QSet<QString>& takenNames,
             NameRule rule, bool numbered)
        : selection_(selection), rule_(rule), inDrawOrder_(numbered)
    {
        takenBy_.reserve(static_cast<qsizetype>(selection.size() + takenNames.size()));
        for (const QString& name : takenNames)
            takenBy_[FoldedName(name)].position = kTakenBefore;
        names_.reserve(static_cast<qsizetype>(selection.size()));
        for (const QString& folder : destinationFolders) {
            if (const auto id = platform::IdOf(ToFsPath(folder)))
                destinationIds_.push_back(*id);
        }
    }

    QStringList Names()
    {
        for (qsizetype position = 0; position < static_cast<qsizetype>(selection_.size()); ++position)
            names_.append(NameFor(position));
        return names_;
    }

private:
    QString NameFor(qsizetype position)
    {
        const SelectionEntry& entry = selection_[position];
        const QString name = DrawnName(selection_, static_cast<std::size_t>(position), rule_, inDrawOrder_);
        Owner& owner = takenBy_[FoldedName(name)];
        if (owner.position == kNobody) {
            owner.position = position;
            return name;
        }
        if (owner.position == kTakenBefore) {
            // A file already in the destination under this name: when the
            // drawn file lies there, it is that file, left alone as the same.
            if (entry.repeat == 0 && LiesInADestination(position)) {
                owner.position = position;
                return name;
            }
            return NumberedName(position);
        }
        // The same file drawn again (a source folder listed twice, or under
        // another writing) lands on the same name: that is one file copied
        // twice, not a clash.
        const qsizetype ownerPosition = owner.position;
        if (IsSame(ownerPosition, position))
            return name;
        // A file that already lies in a destination under this name keeps
        // it there, and is left alone as the same file; the other takes a
        // number, rather than this one being copied beside itself.
        if (entry.repeat == 0 && LiesInADestination(position) && !LiesInADestination(ownerPosition)) {
            owner.position = position;
            GiveWay(FoldedName(name), position);
            return name;
        }
        return NumberedName(position);
    }

    // The entries before a position that hold a name take numbered names.
    void GiveWay(const FoldedName& name, qsizetype position)
    {
        std::vector<qsizetype> moving;
        for (qsizetype earlier = 0; earlier < position; ++earlier) {
            if (!(FoldedName(names_[earlier]) == name))
                continue;
            moving.push_back(earlier);
            // The name may itself be a numbered one: it is not theirs to keep.
            const SelectionEntry& entry = selection_[earlier];
            numbered_.remove({entry.path, entry.repeat});
            if (const auto place = PlaceOf(earlier))
                numberedByPlace_.erase(*place);
        }
        for (const qsizetype earlier : moving)
            names_[earlier] = NumberedName(earlier);
    }

    // The lowest numbered name still free, or the one the file took before.
    QString NumberedName(qsizetype position)
    {
        const SelectionEntry& entry = selection_[position];
        const Identity identity {entry.path, entry.repeat};
        if (const auto earlier = numbered_.constFind(identity); earlier != numbered_.constEnd())
            return *earlier;
        const std::optional<Place> place = PlaceOf(position);
        if (place) {
            if (const auto earlier = numberedByPlace_.find(*place); earlier != numberedByPlace_.end())
                return earlier->second;
        }
        // Every number below the last one handed out for this name was taken
        // then and still is, so the search goes on from there.
        const QString fileName = (inDrawOrder_ ? PlaceInDraw(static_cast<std::size_t>(position), selection_.size())
                                            : QString()) + NameUnder(rule_, FileNameOf(entry.path));
        std::uint32_t& number = nextNumber_[FoldedName(fileName)];
        ++number;
        const QString name = FreeNumberedName(fileName, number, [&](const QString& candidate) {
            Owner& taker = takenBy_[FoldedName(candidate)];
            if (taker.position != kNobody)
                return true;
            taker.position = position;
            return false;
        });
        numbered_.insert(identity, name);
        if (place)
            numberedByPlace_.emplace(*place, name);
        return name;
    }

    // Two entries are one file drawn as often: the same text, or, where the
    // texts differ, one name in one folder however the folder is reached.
    // Folders are asked once each; a file itself only for names that differ
    // in letter case alone, which one file has on a case-blind file system.
    bool IsSame(qsizetype first, qsizetype second)
    {
        const SelectionEntry& a = selection_[first];
        const SelectionEntry& b = selection_[second];
        if (a.repeat != b.repeat)
            return false;
        if (a.path == b.path)
            return true;
        const QString nameA = FileNameOf(a.path);
        const QString nameB = FileNameOf(b.path);
        if (nameA == nameB) {
            const auto folder = FolderIdOf(FolderOf(a.path));
            return folder && folder == FolderIdOf(FolderOf(b.path));
        }
        if (nameA.compare(nameB, Qt::CaseInsensitive) != 0)
            return false;
        const auto file = platform::RegularFileId(ToFsPath(a.path));
        return file && file == platform::RegularFileId(ToFsPath(b.path));
    }

    std::optional<platform::FileId> FolderIdOf(const QString& folder)
    {
        auto known = folderIds_.find(folder);
        if (known == folderIds_.end())
            known = folderIds_.insert(folder, platform::IdOf(ToFsPath(folder)));
        return *known;
    }

    // Where an entry's file lies: its folder's id and its name, as drawn.
    using Place = std::tuple<std::uint64_t, std::uint64_t, QString, std::uint32_t>;
    std::optional<Place> PlaceOf(qsizetype position)
    {
        const SelectionEntry& entry = selection_[position];
        const auto folder = FolderIdOf(FolderOf(entry.path));
        if (!folder)
            return std::nullopt;
        return Place {folder->device, folder->index, FileNameOf(entry.path), entry.repeat};
    }

    bool LiesInADestination(qsizetype position)
    {
        if (destinationIds_.empty())
            return false;
        const auto id = FolderIdOf(FolderOf(selection_[position].path));
        return id && std::find(destinationIds_.begin(), destinationIds_.end(), *id) != destinationIds_.end();
    }

    using Identity = std::pair<QString, std::uint32_t>;

    static constexpr qsizetype kNobody = -1;
    static constexpr qsizetype kTakenBefore = -2; // by a file already in a destination
    // The entry that took a name; a name looked up for the first time has none.
    struct Owner {
        qsizetype position = kNobody;
    };

    const Selection& selection_;
    const NameRule rule_;
    const bool inDrawOrder_; // names start with their place in the draw
    QStringList names_;
    std::vector<platform::FileId> destinationIds_;
    QHash<FoldedName, Owner> takenBy_;                  // name -> the entry that took it
    QHash<Identity, QString> numbered_;                 // a file that took a numbered name -> that name
    std::map<Place, QString> numberedByPlace_;          // the same, by where the file lies
    QHash<FoldedName, std::uint32_t> nextNumber_;       // file name -> the last number tried
    QHash<QString, std::optional<platform::FileId>> folderIds_; // folder -> its id, asked at most once
};

} // namespace

QStringList DestinationNames(const Selection& selection, const QStringList& destinationFolders,
                             const QSet<QString>& takenNames, NameRule rule, bool numbered)
{
    OwnNames own = OwnNamesOf(selection, rule, numbered);
    if (AllDifferent(own.hashes, takenNames))
        return own.names;
    own = {}; // the book builds the names afresh
    return NameBook(selection, destinationFolders, takenNames, rule, numbered).Names();
}

namespace {

// The folders the destination rows name, each with its closing separator.
QStringList DestinationFolders(const QStringList& destinationRows)
{
    QStringList folders;
    folders.reserve(destinationRows.size());
    for (const QString& row : destinationRows) {
        // A blank row names no folder; taken as one it would put the files
        // into the root of the file system.
        if (!row.trimmed().isEmpty())
            folders.append(WithClosingSeparator(row));
    }
    return folders;
}

} // namespace

CopyPlan PairByRule(const Selection& selection, const QStringList& folders, const DestinationVolumes& volumes,
                    const std::function<QStringList(NameRule, const QStringList&)>& namesOfRule)
{
    constexpr std::size_t kRules = kNameRules;
    std::array<QStringList, kRules> foldersOfRule;
    for (qsizetype folder = 0; folder < folders.size(); ++folder)
        foldersOfRule[static_cast<std::size_t>(volumes.RuleOf(folder))].append(folders[folder]);
    std::array<QStringList, kRules> names;
    for (std::size_t rule = 0; rule < kRules; ++rule) {
        if (!foldersOfRule[rule].isEmpty())
            names[rule] = namesOfRule(static_cast<NameRule>(rule), foldersOfRule[rule]);
    }

    CopyPlan plan;
    plan.rows.reserve(static_cast<qsizetype>(selection.size()) * folders.size());
    for (qsizetype position = 0; position < static_cast<qsizetype>(selection.size()); ++position) {
        const SelectionEntry& entry = selection[static_cast<std::size_t>(position)];
        for (qsizetype folder = 0; folder < folders.size(); ++folder) {
            const auto rule = static_cast<std::size_t>(volumes.RuleOf(folder));
            plan.Append({entry.path, folders[folder], names[rule][position]});
        }
    }
    return plan;
}

CopyPlan PairWithFolders(const Selection& selection, const QStringList& folders, const DestinationVolumes& volumes,
                         const QSet<QString>& takenNames, bool numbered)
{
    return PairByRule(selection, folders, volumes, [&](NameRule rule, const QStringList& foldersOfRule) {
        return DestinationNames(selection, foldersOfRule, takenNames, rule, numbered);
    });
}

namespace {

// Refuses a drawn file that some destination cannot hold, and notes it; the
// others go on to the caller's own test, if any.
std::function<bool(const QString&, std::uint64_t)> HeldByEveryDestination(
    const DestinationVolumes& volumes, std::function<bool(const QString&, std::uint64_t)> callerFits,
    PassedOverFiles& passed)
{
    return [&volumes, &passed, callerFits = std::move(callerFits)](const QString& path, std::uint64_t size) {
        if (!volumes.Holds(size)) {
            passed.files.append(path);
            return false;
        }
        return !callerFits || callerFits(path, size);
    };
}

// The same for a drawn folder: refused whole when one of its files is.
std::function<bool(const QString&, const std::vector<SizedFile>&)> FolderHeldByEveryDestination(
    const DestinationVolumes& volumes, std::function<bool(const QString&, const std::vector<SizedFile>&)> callerFits,
    PassedOverFiles& passed)
{
    return [&volumes, &passed, callerFits = std::move(callerFits)](const QString& folder,
                                                                   const std::vector<SizedFile>& files) {
        for (const SizedFile& file : files) {
            if (!volumes.Holds(file.size)) {
                passed.files.append(file.path);
                return false;
            }
        }
        return !callerFits || callerFits(folder, files);
    };
}

} // namespace

CopyPlan PairWithDestinations(const Selection& selection, const QStringList& destinationRows,
                              const QSet<QString>& takenNames)
{
    const QStringList folders = DestinationFolders(destinationRows);
    return PairWithFolders(selection, folders, DestinationVolumes(folders), takenNames);
}

CopyPlan CorrelateListviews(const SelectionRequest& request, const QStringList& destinationRows,
                            RandomSource& random, ProblemSink& problems, const QSet<QString>& takenNames,
                            PassedOverFiles* passedOver)
{
    const Pairing pairing = [&takenNames](const Selection& selection, const QStringList& folders,
                                          const DestinationVolumes& volumes) {
        return PairWithFolders(selection, folders, volumes, takenNames);
    };
    return CorrelateListviews(request, destinationRows, random, problems, pairing, passedOver);
}

CopyPlan CorrelateListviews(const SelectionRequest& request, const QStringList& destinationRows,
                            RandomSource& random, ProblemSink& problems, const Pairing& pairing,
                            PassedOverFiles* passedOver)
{
    ErrorReport report(problems, ProcedureLabels::CorrelateListviews());
    CopyPlan rows;
    Selection selection;
    const QStringList folders = DestinationFolders(destinationRows);
    const DestinationVolumes volumes(folders);
    PassedOverFiles passed = volumes.NothingPassedOver();
    report.Step(100, [&] {
        SelectionRequest withDestinations = request;
        withDestinations.destinationCount = static_cast<std::uint64_t>(destinationRows.size());
        // Only then is each drawn file's size asked for.
        if (volumes.LimitsFileSize()) {
            withDestinations.fits = HeldByEveryDestination(volumes, request.fits, passed);
            withDestinations.folderFits = FolderHeldByEveryDestination(volumes, request.folderFits, passed);
        }
        selection = randomFileList(withDestinations, random, problems);
        // A file listed under two source rows is offered twice, but said once.
        passed.files.removeDuplicates();
    });
    report.Step(102, [&] { rows = pairing(selection, folders, volumes); });
    if (passedOver)
        *passedOver = std::move(passed);
    return rows;
}

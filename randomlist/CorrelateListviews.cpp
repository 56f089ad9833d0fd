#include "randomlist/CorrelateListviews.h"

#include "core/ErrorReport.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"

#include <QHash>

QString DestinationFileName(const QString& fileName, std::uint32_t repeat)
{
    if (repeat == 0)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return fileName + QString::number(repeat);
    return fileName.left(dot) + QString::number(repeat) + fileName.mid(dot);
}

namespace {

// Hands out destination names in plan order.
class NameBook {
public:
    explicit NameBook(const Selection& selection) : selection_(selection)
    {
        takenBy_.reserve(static_cast<qsizetype>(selection.size()));
    }

    QString NameFor(qsizetype position)
    {
        const SelectionEntry& entry = selection_[position];
        const QString fileName = FileNameOf(entry.path);
        QString name = DestinationFileName(fileName, entry.repeat);
        Owner& owner = takenBy_[name.toCaseFolded()];
        if (owner.position == kNobody) {
            owner.position = position;
            return name;
        }
        // The same file drawn again (a source folder listed twice) lands on
        // the same name: that is one file copied twice, not a clash.
        const Identity identity {entry.path, entry.repeat};
        if (IsSame(selection_[owner.position], identity))
            return name;
        if (const auto earlier = numbered_.constFind(identity); earlier != numbered_.constEnd())
            return *earlier;
        // Every number below the last one handed out for this name was taken
        // then and still is, so the search goes on from there.
        std::uint32_t& number = nextNumber_[fileName.toCaseFolded()];
        for (;;) {
            name = DestinationFileName(fileName, ++number);
            Owner& taker = takenBy_[name.toCaseFolded()];
            if (taker.position == kNobody) {
                taker.position = position;
                break;
            }
        }
        numbered_.insert(identity, name);
        return name;
    }

private:
    using Identity = std::pair<QString, std::uint32_t>;

    static bool IsSame(const SelectionEntry& entry, const Identity& identity)
    {
        return entry.repeat == identity.second && entry.path == identity.first;
    }

    static constexpr qsizetype kNobody = -1;
    // The entry that took a name; a name looked up for the first time has none.
    struct Owner {
        qsizetype position = kNobody;
    };

    const Selection& selection_;
    QHash<QString, Owner> takenBy_;              // case-folded name -> the entry that took it
    QHash<Identity, QString> numbered_;          // a file that took a numbered name -> that name
    QHash<QString, std::uint32_t> nextNumber_;   // case-folded file name -> the last number tried
};

} // namespace

QStringList DestinationNames(const Selection& selection)
{
    NameBook book(selection);
    QStringList names;
    names.reserve(static_cast<qsizetype>(selection.size()));
    for (qsizetype position = 0; position < static_cast<qsizetype>(selection.size()); ++position)
        names.append(book.NameFor(position));
    return names;
}

QStringList PairWithDestinations(const Selection& selection, const QStringList& destinationRows)
{
    QStringList folders;
    folders.reserve(destinationRows.size());
    for (const QString& row : destinationRows) {
        // A blank row names no folder; taken as one it would put the files
        // into the root of the file system.
        if (!row.trimmed().isEmpty())
            folders.append(WithClosingSeparator(row));
    }

    const QStringList names = DestinationNames(selection);
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(selection.size()) * folders.size());
    for (qsizetype position = 0; position < names.size(); ++position) {
        const SelectionEntry& entry = selection[static_cast<std::size_t>(position)];
        const QString& name = names[position];
        for (const QString& folder : folders) {
            QString row;
            row.reserve(entry.path.size() + kWillBeCopiedTo.size() + folder.size() + name.size());
            row.append(entry.path).append(kWillBeCopiedTo).append(folder).append(name);
            rows.append(std::move(row));
        }
    }
    return rows;
}

QStringList CorrelateListviews(const SelectionRequest& request, const QStringList& destinationRows,
                               RandomSource& random, Dialogs& dialogs)
{
    ErrorReport report(dialogs, ProcedureLabels::CorrelateListviews());
    QStringList rows;
    Selection selection;
    report.Step(100, [&] {
        SelectionRequest withDestinations = request;
        withDestinations.destinationCount = static_cast<std::uint64_t>(destinationRows.size());
        selection = randomFileList(withDestinations, random, dialogs);
    });
    report.Step(102, [&] { rows = PairWithDestinations(selection, destinationRows); });
    return rows;
}

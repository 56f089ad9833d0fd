#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringList>

// A copy-list row shows the source path, these words, and the destination path.
inline const QString kWillBeCopiedTo = QStringLiteral(" will be copied to ");
// Or these, for a file converted on its way to the device.
inline const QString kWillBeConvertedTo = QStringLiteral(" will be converted to ");

// What one copy-list row copies, and where. The copy works from these, never
// from the row's text: a name may hold the words that join the two paths.
// The destination is kept as its folder and its name, so that the rows of
// one plan share those strings rather than each holding its own.
struct CopyRow {
    QString source;
    QString folder; // the destination's folder, with its closing separator
    QString name;   // the destination's file name
    bool converted = false; // made to fit the device before it is copied

    QString Destination() const { return folder + name; }
    // A row added as text alone says nothing about what to copy.
    bool IsBlank() const { return source.isEmpty() && folder.isEmpty() && name.isEmpty(); }
    bool operator==(const CopyRow&) const = default;
};

inline size_t qHash(const CopyRow& row, size_t seed = 0)
{
    return qHashMulti(seed, row.source, row.folder, row.name, row.converted);
}

// A row for a destination given whole: split after its last separator.
CopyRow CopyRowTo(const QString& source, const QString& destination);

// The text the row shows: "source will be copied to destination" (or
// "will be converted to").
QString CopyRowText(const CopyRow& row);
// Its length, without making it.
qsizetype CopyRowTextLength(const CopyRow& row);

// The copy list's rows: what each copies, and where. Their texts are made
// from them only when asked for.
struct CopyPlan {
    QList<CopyRow> rows;

    void Append(CopyRow row) { rows.append(std::move(row)); }
    QStringList Texts() const;
};

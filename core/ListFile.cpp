#include "core/ListFile.h"

#include "core/Codepage1252.h"
#include "core/Dialogs.h"
#include "core/Failure.h"
#include "core/PathHelpers.h"
#include "core/RowListModel.h"

#include <QFile>
#include <QIODevice>

#include <algorithm>

namespace {

constexpr qint64 kChunkSize = 64 * 1024;

// Splits one line (without its CR) at every LF into rows.
void AddLineRows(const QByteArray& line, QStringList& rows)
{
    qsizetype start = 0;
    for (qsizetype lf = line.indexOf('\n'); lf >= 0; lf = line.indexOf('\n', start)) {
        rows.append(DecodeListText(line.sliced(start, lf - start)));
        start = lf + 1;
    }
    rows.append(DecodeListText(line.sliced(start)));
}

// Reads the whole device into rows. Rows read before a failure are kept in
// rows when the failure is thrown.
void ReadRows(QIODevice& device, QStringList& rows)
{
    QByteArray chunk(kChunkSize, Qt::Uninitialized);
    QByteArray pending;
    qsizetype searched = 0;     // no CR in pending before this position
    bool lineEndedInCr = false; // an LF right after that CR belongs to the same line end
    for (;;) {
        const qint64 got = device.read(chunk.data(), kChunkSize);
        if (got < 0)
            throw Failure(device.errorString());
        if (got == 0)
            break;
        pending.append(chunk.constData(), got);
        qsizetype start = (lineEndedInCr && pending.startsWith('\n')) ? 1 : 0;
        lineEndedInCr = false;
        for (qsizetype cr = pending.indexOf('\r', std::max(start, searched)); cr >= 0;
             cr = pending.indexOf('\r', start)) {
            AddLineRows(pending.sliced(start, cr - start), rows);
            start = cr + 1;
            if (start == pending.size())
                lineEndedInCr = true;
            else if (pending[start] == '\n')
                ++start;
        }
        pending.remove(0, start);
        searched = pending.size();
    }
    if (!pending.isEmpty())
        AddLineRows(pending, rows);
}

} // namespace

void AppendListRows(QIODevice& device, RowListModel& list)
{
    QStringList rows;
    try {
        ReadRows(device, rows);
    } catch (...) {
        list.Append(rows);
        throw;
    }
    list.Append(rows);
}

void LoadListFromFile(RowListModel& list, const QString& path, Dialogs& dialogs)
{
    if (!PathExists(path)) {
        dialogs.MsgBox(QStringLiteral("File not found"));
        return;
    }
    QFile file;
    OpenForReading(file, path);
    AppendListRows(file, list);
}

#include "core/ListRows.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

ListRows::ListRows(const QStringList& texts) : rows_(texts.size()), texts_(texts) {}

QString ListRows::Text(qsizetype row) const
{
    const CopyRow& copy = rows_.at(row);
    return copy.IsBlank() ? OwnText(row) : CopyRowText(copy);
}

qsizetype ListRows::TextLength(qsizetype row) const
{
    const CopyRow& copy = rows_.at(row);
    return copy.IsBlank() ? OwnText(row).size() : CopyRowTextLength(copy);
}

QStringList ListRows::Texts() const
{
    if (!texts_.isEmpty() && std::all_of(rows_.begin(), rows_.end(), [](const CopyRow& row) { return row.IsBlank(); }))
        return texts_;
    QStringList texts;
    texts.reserve(rows_.size());
    for (qsizetype row = 0; row < rows_.size(); ++row)
        texts.append(Text(row));
    return texts;
}

void ListRows::Append(const QString& text)
{
    texts_.resize(rows_.size());
    texts_.append(text);
    rows_.append(CopyRow());
}

void ListRows::Append(const CopyRow& row)
{
    if (!texts_.isEmpty())
        texts_.append(QString());
    rows_.append(row);
}

void ListRows::SetText(qsizetype row, const QString& text)
{
    texts_.resize(rows_.size());
    texts_[row] = text;
    rows_[row] = CopyRow();
}

void ListRows::RemoveAt(qsizetype row)
{
    rows_.removeAt(row);
    if (!texts_.isEmpty())
        texts_.removeAt(row);
}

ListRows ListRows::Without(const std::vector<int>& ascendingRows) const
{
    ListRows kept;
    const qsizetype keptCount = rows_.size() - static_cast<qsizetype>(ascendingRows.size());
    kept.rows_.reserve(keptCount);
    if (!texts_.isEmpty())
        kept.texts_.reserve(keptCount);
    auto removed = ascendingRows.begin();
    for (qsizetype row = 0; row < rows_.size(); ++row) {
        if (removed != ascendingRows.end() && *removed == row) {
            ++removed;
            continue;
        }
        kept.rows_.append(rows_.at(row));
        if (!texts_.isEmpty())
            kept.texts_.append(texts_.at(row));
    }
    return kept;
}

namespace {

// One thread, started when first needed, that frees what it is given in
// turn; the program waits for it at its end.
class Releaser {
public:
    ~Releaser()
    {
        {
            const std::lock_guard lock(mutex_);
            ending_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable())
            thread_.join();
    }

    void Release(ListRows rows)
    {
        {
            const std::lock_guard lock(mutex_);
            given_.push_back(std::move(rows));
            if (!thread_.joinable())
                thread_ = std::thread([this] { Run(); });
        }
        wake_.notify_one();
    }

private:
    void Run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return ending_ || !given_.empty(); });
            if (given_.empty())
                return;
            std::vector<ListRows> freeing;
            freeing.swap(given_);
            lock.unlock();
            freeing.clear();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<ListRows> given_;
    bool ending_ = false;
    std::thread thread_;
};

} // namespace

void ReleaseInBackground(ListRows rows)
{
    constexpr qsizetype kWorthAThread = 10000;
    if (rows.Count() < kWorthAThread)
        return;
    static Releaser releaser;
    releaser.Release(std::move(rows));
}

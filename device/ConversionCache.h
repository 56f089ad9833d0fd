#pragma once

#include <QSet>
#include <QString>

#include <cstdint>
#include <mutex>
#include <optional>

// Converted files, kept from night to night: a song drawn again is copied
// from here, not converted again. Entries are written under a temporary
// name and renamed into place, so two runs at once share the folder; each
// entry's size is kept beside it, and one of another size is taken for
// damaged.
class ConversionCache {
public:
    explicit ConversionCache(QString folder);

    // $XDG_CACHE_HOME/quorvex/converted, else ~/.cache/quorvex/converted
    // (on Windows %LOCALAPPDATA%\Quorvex\cache\converted).
    static QString DefaultFolder();
    // The cap when none is given: 4 GiB.
    static constexpr std::uint64_t kDefaultCap = std::uint64_t {4} << 30;

    const QString& Folder() const { return folder_; }

    // The key of a source's treatment: its path, size, modification time in
    // nanoseconds and the hash of its first 64 KiB, with recipe (the
    // profile's fields, ffmpeg's version, our own recipe's number). Empty
    // when the source cannot be read.
    static QString KeyOf(const QString& source, const QString& recipe);

    // The entry of key, whole, marked as used now; empty when there is none.
    std::optional<QString> Find(const QString& key, const QString& suffix);
    // The size of key's entry, whole; empty when there is none.
    std::optional<std::uint64_t> SizeOf(const QString& key, const QString& suffix) const;
    // A fresh temporary's path in the folder (made first), for ffmpeg to write.
    QString NewTemporary();
    // Moves a finished temporary into place as key's entry; its path, or
    // empty when it could not be.
    std::optional<QString> Store(const QString& key, const QString& suffix, const QString& temporary);

    // Removes the entries used least recently until the folder holds at
    // most cap bytes, but never one this run found or stored, nor a
    // temporary of a run still going. How many it removed.
    int Trim(std::uint64_t cap);

    // Temporaries left by runs that ended, removed.
    void SweepTemporaries();

private:
    QString folder_;
    std::mutex mutex_;
    QSet<QString> used_; // entry file names this run found or stored
};

#pragma once

#include <QString>

// What the window's Refill Settings hold: the refill settings a user can
// tick, kept between starts in a file of their own.
struct RefillChoices {
    bool fill = false;
    bool atMost = false;
    QString maxSize = QStringLiteral("700M");
    bool wholeFolders = false;
    bool cycle = false;
    bool balance = false;
    bool refresh = false;
    bool numbered = false;
    bool playlist = false;
    QString playlistName = QStringLiteral("Quorvex.m3u8");
    bool verify = false;
    bool asciiNames = false;
    QString device; // a profile's name or file; empty: as each device says

    // Any setting ticked, or a device chosen: the window then draws and copies as a refill.
    bool Any() const;
    bool operator==(const RefillChoices&) const = default;
};

// refill.ini in the program's per-user configuration folder.
QString RefillChoicesFile();

// The choices kept in file; none kept are the defaults. A file that cannot
// be read, or that holds a value no choice takes, is damaged: then the
// defaults, with damaged set.
RefillChoices LoadRefillChoices(const QString& file, bool& damaged);

// Keeps the choices in file; false when they could not be written.
bool SaveRefillChoices(const QString& file, const RefillChoices& choices);

// Why a size or a playlist's name would be refused; empty when it is fine.
QString SizeProblem(const QString& size);
QString PlaylistNameProblem(const QString& name);

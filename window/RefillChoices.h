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
    bool preferRated = false;
    bool atLeast = false;
    QString minRating = QStringLiteral("3"); // stars, as typed: 4, 3.5
    QString unratedAs = QStringLiteral("3"); // the stars an unrated file counts as in a draw by rating
    bool refresh = false;
    bool numbered = false;
    bool playlist = false;
    QString playlistName = QStringLiteral("Quorvex.m3u8");
    bool verify = false;
    bool asciiNames = false;
    QString device; // a profile's name or file; empty: as each device says

    // Any setting ticked, or a device chosen: the window then draws and copies
    // as a refill. Where unrated files stand changes nothing on its own.
    bool Any() const;
    // Whether the draw goes by ratings, so that unratedAs counts.
    bool ByRating() const { return preferRated || atLeast; }
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

// Why a size, stars or a playlist's name would be refused; empty when it is fine.
QString SizeProblem(const QString& size);
QString StarsProblem(const QString& stars);
QString PlaylistNameProblem(const QString& name);

#pragma once

#include <QString>
#include <QTemporaryDir>

// A FAT file system in an image file, mounted through FUSE (fusefat), as many
// sticks, players and phones are mounted: it keeps no permissions, refuses
// some names and takes "A.txt" and "a.txt" for one file. Unmounted at the end.
class FatStick {
public:
    // clusterKiB: the cluster size; mkfs.fat's choice (2 KiB) when 0.
    explicit FatStick(int clusterKiB = 0);
    ~FatStick();
    FatStick(const FatStick&) = delete;
    FatStick& operator=(const FatStick&) = delete;

    // False where the machine offers no FUSE or lacks the tools; Problem()
    // then tells which.
    bool IsMounted() const { return problem_.isEmpty(); }
    const QString& Problem() const { return problem_; }
    // False, to skip the test, where no stick could be mounted; there a run
    // that needs the stick (QUORVEX_REQUIRE_FAT_STICK=1, as ./test.sh sets)
    // also fails.
    bool Usable() const;
    QString Folder() const;

private:
    QTemporaryDir root_;
    QString problem_;
};

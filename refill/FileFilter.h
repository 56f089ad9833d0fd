#pragma once

#include "refill/RefillSettings.h"

#include <QRegularExpression>
#include <QString>

#include <vector>

// The --exclude and --only patterns, which thin the files to draw from. A
// pattern with *, ? or [ is a glob on the file's name; any other is a part
// of the file's path below its source folder, so that a word in the source
// folder's own name does not match every file. Letter case is ignored.
class FileFilter {
public:
    explicit FileFilter(const std::vector<NameFilter>& filters);

    bool IsEmpty() const { return patterns_.empty(); }
    bool Accepts(const QString& name, const QString& pathBelowSource) const;

private:
    struct Pattern {
        bool keepMatching;
        bool onName;
        QString text;              // a part of the path, case-folded
        QRegularExpression glob;   // on the name
    };
    std::vector<Pattern> patterns_;
};

#include "refill/FileFilter.h"

FileFilter::FileFilter(const std::vector<NameFilter>& filters)
{
    for (const NameFilter& filter : filters) {
        const bool glob = filter.pattern.contains(u'*') || filter.pattern.contains(u'?') || filter.pattern.contains(u'[');
        QString text = filter.pattern.toCaseFolded();
#ifdef Q_OS_WIN
        // Windows takes "/" for a separator too: "live/" is the folder live.
        text.replace(u'/', u'\\');
#endif
        patterns_.push_back({filter.keepMatching, glob, text,
                             glob ? QRegularExpression::fromWildcard(filter.pattern, Qt::CaseInsensitive)
                                  : QRegularExpression()});
    }
}

bool FileFilter::Accepts(const QString& name, const QString& pathBelowSource) const
{
    for (const Pattern& pattern : patterns_) {
        const bool matches = pattern.onName ? pattern.glob.match(name).hasMatch()
                                            : pathBelowSource.toCaseFolded().contains(pattern.text);
        if (matches != pattern.keepMatching)
            return false;
    }
    return true;
}

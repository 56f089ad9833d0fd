#include "core/ApplicationTitle.h"

namespace {

constexpr qsizetype kMaxTitleLength = 40;

QString& StoredTitle()
{
    static QString title;
    return title;
}

} // namespace

QString ShortTitleFor(const QString& productName)
{
    QString title = productName;
    do {
        const qsizetype lastBlank = title.lastIndexOf(u' ');
        if (lastBlank < 0)
            break;
        title.truncate(lastBlank);
    } while (title.size() > kMaxTitleLength);
    return title;
}

QString ApplicationTitle() { return StoredTitle(); }

void SetApplicationTitle(const QString& productName) { StoredTitle() = ShortTitleFor(productName); }

#pragma once

#include <QString>

// The short title that message boxes and prompts show when they name none of
// their own. Set once at start-up.
QString ApplicationTitle();
void SetApplicationTitle(const QString& productName);

// The short title for a product name: words are dropped from the end, at
// least one, until 40 characters or fewer remain. A name of one word is kept
// whole, since there is nothing to drop.
QString ShortTitleFor(const QString& productName);

#pragma once

#include <QString>

// The number a text begins with: an optional sign, digits, one decimal point
// and an exponent. Blanks, tabs and line feeds are skipped wherever they
// stand; reading stops at the first character that cannot continue the
// number. A text that does not begin with a number is worth 0.
double NumericValue(const QString& text);

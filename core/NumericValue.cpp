#include "core/NumericValue.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <string>

namespace {

bool IsSkipped(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }

// The leading number of the text with the skipped characters taken out, in
// the plain form that strtod reads: sign, digits, point, exponent.
std::string LeadingNumber(const QString& text)
{
    std::string compact;
    compact.reserve(text.size());
    for (QChar c : text) {
        if (IsSkipped(c))
            continue;
        if (c.unicode() > 0x7f)
            break;
        compact.push_back(static_cast<char>(c.unicode()));
    }

    std::string number;
    std::size_t i = 0;
    if (i < compact.size() && (compact[i] == '+' || compact[i] == '-'))
        number.push_back(compact[i++]);
    bool anyDigit = false;
    while (i < compact.size() && std::isdigit(static_cast<unsigned char>(compact[i]))) {
        number.push_back(compact[i++]);
        anyDigit = true;
    }
    if (i < compact.size() && compact[i] == '.') {
        number.push_back(compact[i++]);
        while (i < compact.size() && std::isdigit(static_cast<unsigned char>(compact[i]))) {
            number.push_back(compact[i++]);
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return {};
    // An exponent counts only when digits follow its letter (and sign).
    if (i < compact.size() && (compact[i] == 'e' || compact[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < compact.size() && (compact[j] == '+' || compact[j] == '-'))
            ++j;
        if (j < compact.size() && std::isdigit(static_cast<unsigned char>(compact[j]))) {
            number.append(compact, i, j - i);
            while (j < compact.size() && std::isdigit(static_cast<unsigned char>(compact[j])))
                number.push_back(compact[j++]);
        }
    }
    return number;
}

// A number too large or too small for a double: infinity with its sign, or 0.
double OutOfRangeValue(const std::string& number)
{
    const bool negative = number.front() == '-';
    const std::size_t exponentAt = number.find_first_of("eE");
    const std::string mantissa = number.substr(0, exponentAt);
    long long exponent = 0;
    if (exponentAt != std::string::npos) {
        const char* first = number.data() + exponentAt + 1;
        if (*first == '+')
            ++first;
        const auto result = std::from_chars(first, number.data() + number.size(), exponent);
        if (result.ec == std::errc::result_out_of_range)
            exponent = *first == '-' ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t firstSignificant = mantissa.find_first_of("123456789");
    if (firstSignificant == std::string::npos)
        return 0.0;
    const long long digitsBeforePoint = firstSignificant < point
        ? static_cast<long long>(point - firstSignificant)
        : -static_cast<long long>(firstSignificant - point - 1);
    if (digitsBeforePoint + exponent <= 0)
        return 0.0;
    const double infinity = std::numeric_limits<double>::infinity();
    return negative ? -infinity : infinity;
}

} // namespace

double NumericValue(const QString& text)
{
    const std::string number = LeadingNumber(text);
    if (number.empty())
        return 0.0;
    // from_chars reads a point as decimal separator whatever the user's
    // locale, and takes no leading "+".
    const char* first = number.data();
    if (*first == '+')
        ++first;
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range)
        return OutOfRangeValue(number);
    return value;
}

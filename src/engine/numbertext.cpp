#include "engine/numbertext.h"

#include <charconv>
#include <cmath>
#include <string>

namespace engine {

double LeadingNumber(std::string_view text)
{
    // Gather the number's characters without the blanks, then read them in one
    // go: a fraction of any length is read to the nearest double, and its
    // digits never spill into the whole part.
    std::string number;
    bool seenPoint = false;
    bool seenDigit = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t')
            continue;
        if ((c == '+' || c == '-') && number.empty()) {
            number += c;
        } else if (c >= '0' && c <= '9') {
            seenDigit = true;
            number += c;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
            number += c;
        } else {
            break;
        }
    }
    if (!seenDigit)
        return 0.0;
    const bool negative = number.front() == '-';
    const std::size_t start = (number.front() == '-' || number.front() == '+') ? 1 : 0;
    double value = 0.0;
    const auto result = std::from_chars(number.data() + start, number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large, or too small to tell from 0.
        const auto point = number.find('.');
        const auto whole = std::string_view(number).substr(start, point == std::string::npos ? point : point - start);
        value = whole.find_first_not_of('0') == std::string_view::npos ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

double RoundHalfEven(double value)
{
    return std::nearbyint(value); // the default rounding mode is to nearest, ties to even
}

} // namespace engine

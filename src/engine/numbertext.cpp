#include "engine/numbertext.h"

#include <cmath>

namespace engine {

double LeadingNumber(std::string_view text)
{
    double sign = 1.0;
    double value = 0.0;
    double scale = 0.0; // 0 before the decimal point, then 0.1, 0.01, ...
    bool seenSign = false;
    bool seenDigit = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t')
            continue;
        if ((c == '+' || c == '-') && !seenSign && !seenDigit && scale == 0.0) {
            seenSign = true;
            sign = c == '-' ? -1.0 : 1.0;
        } else if (c >= '0' && c <= '9') {
            seenDigit = true;
            if (scale == 0.0) {
                value = value * 10.0 + (c - '0');
            } else {
                value += (c - '0') * scale;
                scale /= 10.0;
            }
        } else if (c == '.' && scale == 0.0) {
            scale = 0.1;
        } else {
            break;
        }
    }
    return sign * value;
}

double RoundHalfEven(double value)
{
    return std::nearbyint(value); // the default rounding mode is to nearest, ties to even
}

} // namespace engine

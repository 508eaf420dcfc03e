#pragma once

#include <string_view>

// Reading numbers out of operator text the way the dialogs always have.
namespace engine {

// The number a text starts with: blanks ignored, an optional sign, digits and
// one decimal point, read as far as they go; 0 when the text starts otherwise.
double LeadingNumber(std::string_view text);

// Round to the nearest integer, ties to even.
double RoundHalfEven(double value);

} // namespace engine

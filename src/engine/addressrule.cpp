#include "engine/addressrule.h"

#include <algorithm>

namespace engine {

bool AllAsciiDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

AddressTextVerdict CheckAddressText(std::string_view text)
{
    if (!AllAsciiDigits(text))
        return AddressTextVerdict::IllegalCharacters;
    // Digits only from here; skip leading zeros so a text of any length is read.
    const auto firstSignificant = text.find_first_not_of('0');
    if (firstSignificant == std::string_view::npos)
        return AddressTextVerdict::Valid;
    const auto digits = text.substr(firstSignificant);
    if (digits.size() > 3)
        return AddressTextVerdict::OutOfRange;
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value <= HighestAddress ? AddressTextVerdict::Valid : AddressTextVerdict::OutOfRange;
}

} // namespace engine

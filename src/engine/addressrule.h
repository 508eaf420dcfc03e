#pragma once

#include <string_view>

// The rule every slave address box applies: ASCII digits only (the empty
// text counts as 0), value 0..247, leading zeros allowed.
namespace engine {

// Slave addresses: 0 is the broadcast; a meter itself takes 1..247, the
// range a sweep of the bus probes.
inline constexpr int BroadcastAddress = 0;
inline constexpr int LowestMeterAddress = 1;
inline constexpr int HighestAddress = 247;

enum class AddressTextVerdict { Valid, IllegalCharacters, OutOfRange };

inline constexpr std::string_view IllegalCharactersMessage =
    "The input data contains illegal characters, please re-enter effective number!";
inline constexpr std::string_view AddressRangeMessage =
    "The input data is out of range, please re-enter the numbers ranges from 1-247!";
inline constexpr std::string_view InputErrorCaption = "INPUT ERROR";

AddressTextVerdict CheckAddressText(std::string_view text);

// True for a text of ASCII digits only (the empty text included); any other
// character, other scripts' digits among them, is illegal in a digit box.
bool AllAsciiDigits(std::string_view text);

} // namespace engine

#pragma once

#include <cstdint>
#include <string>

// BCD: a two-digit decimal field in one byte, the tens digit in the high nibble,
// as the meters keep their clock and tariff times.
namespace codec {

// 16 x tens + units; each digit 0..9.
std::uint8_t BcdByte(int tens, int units);

// The two digits a BCD byte holds, as text: 0x59 gives "59". A nibble above 9
// shows as its hex digit, so a malformed byte reads as what it is.
std::string BcdText(std::uint8_t byte);

} // namespace codec

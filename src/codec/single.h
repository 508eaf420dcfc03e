#pragma once

#include <array>
#include <cstdint>
#include <span>

// IEEE-754 single-precision values as the meters keep them: two 16-bit
// registers, most significant byte first on the line.
namespace codec {

// The four bytes of the single equal to value; index 0 is the least
// significant byte of the bit pattern, index 3 the most significant.
std::array<std::uint8_t, 4> ByteValueToSingleBytes(std::int16_t value);

// The single whose bytes, most significant first (line order), are b[0..3].
float SingleFromBytes(std::span<const std::uint8_t, 4> lineOrder);

// The four bytes of x in line order, most significant first.
std::array<std::uint8_t, 4> SingleToLineBytes(float x);

} // namespace codec

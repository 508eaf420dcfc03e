#include "codec/single.h"

#include <bit>

namespace codec {

std::array<std::uint8_t, 4> ByteValueToSingleBytes(std::int16_t value)
{
    // Every 16-bit integer is exactly representable as a single, so the plain
    // conversion gives the exact pattern for the whole range of the argument.
    const auto pattern = std::bit_cast<std::uint32_t>(static_cast<float>(value));
    return {static_cast<std::uint8_t>(pattern & 0xFF), static_cast<std::uint8_t>((pattern >> 8) & 0xFF),
            static_cast<std::uint8_t>((pattern >> 16) & 0xFF), static_cast<std::uint8_t>(pattern >> 24)};
}

float SingleFromBytes(std::span<const std::uint8_t, 4> b)
{
    const std::uint32_t pattern = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16)
                                  | (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
    return std::bit_cast<float>(pattern);
}

std::array<std::uint8_t, 4> SingleToLineBytes(float x)
{
    const auto pattern = std::bit_cast<std::uint32_t>(x);
    return {static_cast<std::uint8_t>(pattern >> 24), static_cast<std::uint8_t>((pattern >> 16) & 0xFF),
            static_cast<std::uint8_t>((pattern >> 8) & 0xFF), static_cast<std::uint8_t>(pattern & 0xFF)};
}

} // namespace codec

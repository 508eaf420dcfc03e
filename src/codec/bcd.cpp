#include "codec/bcd.h"

namespace codec {

std::uint8_t BcdByte(int tens, int units)
{
    return static_cast<std::uint8_t>(16 * tens + units);
}

std::string BcdText(std::uint8_t byte)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    return {Digits[byte >> 4], Digits[byte & 0x0F]};
}

} // namespace codec

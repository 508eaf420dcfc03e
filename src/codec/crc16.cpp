#include "codec/crc16.h"

#include "codec/hexcode.h"

#include <algorithm>

namespace codec {

const std::array<std::int32_t, 16>& CrcTable()
{
    static const std::array<std::int32_t, 16> table = ParseCrcTable(CrcTableText);
    return table;
}

std::int32_t ComputeCrc16(std::span<const std::uint8_t> data, int n)
{
    std::int32_t crc = 0xFFFF;
    const auto count = std::min<std::size_t>(n < 1 ? 0 : static_cast<std::size_t>(n), data.size());
    const auto& table = CrcTable();
    // Four bits a step: low nibble of the byte first, then the high nibble.
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t b = data[i];
        std::int32_t t = (b ^ (crc & 0xFF)) & 0xFF;
        crc = (crc >> 4) ^ table[t & 0x0F];
        t = ((b >> 4) ^ (crc & 0xFF)) & 0xFF;
        crc = (crc >> 4) ^ table[t & 0x0F];
    }
    return crc;
}

void AppendCrc16(std::vector<std::uint8_t>& frame)
{
    const auto crc = ComputeCrc16(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>((crc >> 8) & 0xFF));
}

bool CrcRight(std::span<const std::uint8_t> frame)
{
    if (frame.size() < 3)
        return false;
    const auto n = frame.size();
    const auto crc = ComputeCrc16(frame, static_cast<int>(n - 2));
    return frame[n - 2] == (crc & 0xFF) && frame[n - 1] == ((crc >> 8) & 0xFF);
}

} // namespace codec

#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// The Modbus RTU CRC-16 that closes every frame.
namespace codec {

// The parsed nibble table (reflected polynomial 0xA001); parsed once from
// CrcTableText on first use and read-only afterwards.
const std::array<std::int32_t, 16>& CrcTable();

// CRC-16/MODBUS over the first n bytes of data (n is clamped to the bytes
// present); 0xFFFF for n < 1.
std::int32_t ComputeCrc16(std::span<const std::uint8_t> data, int n);
inline std::int32_t ComputeCrc16(std::span<const std::uint8_t> data)
{
    return ComputeCrc16(data, static_cast<int>(data.size()));
}

// Appends the CRC of the whole frame, low byte first as Modbus RTU sends it.
void AppendCrc16(std::vector<std::uint8_t>& frame);

// The frame's last two bytes are the CRC of the bytes before them, low byte
// first. False for fewer than three bytes.
bool CrcRight(std::span<const std::uint8_t> frame);

} // namespace codec

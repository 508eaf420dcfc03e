#pragma once

#include "catalogue/catalogue.h"
#include "codec/crc16.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

// What every fuzz target needs: reading its choices from the input bytes, and
// invariant checks that abort in every build type (NDEBUG does not remove them).
namespace fuzz {

// Every command the catalogue knows, offered by a meter type or not: the
// engine must judge any pair without undefined behaviour.
inline constexpr std::array<std::string_view, 9> AllCommands = {
    catalogue::command::ReadEnergy,         catalogue::command::ReadImportEnergy,
    catalogue::command::ReadExportEnergy,   catalogue::command::ModifyMeterAddress,
    catalogue::command::ModifyBaudRate,     catalogue::command::ModifyParity,
    catalogue::command::SetCt,              catalogue::command::SetTariff,
    catalogue::command::SetTime,
};

// The message names the invariant; the replay driver and libFuzzer both report the abort.
inline void Require(bool holds, const char* invariant)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", invariant);
    std::abort();
}

// Reads the input front to back; past its end every read gives zeros, so any
// input, however short, is a complete choice.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : m_data(data) {}

    bool empty() const { return m_pos >= m_data.size(); }

    std::uint8_t byte() { return empty() ? 0 : m_data[m_pos++]; }

    std::span<const std::uint8_t> take(std::size_t n)
    {
        const auto start = std::min(m_pos, m_data.size());
        const auto count = std::min(n, m_data.size() - start);
        m_pos = start + count;
        return m_data.subspan(start, count);
    }

    std::span<const std::uint8_t> rest() { return take(m_data.size()); }

    std::string_view meterType() { return catalogue::MeterTypeNames[byte() % catalogue::MeterTypeNames.size()]; }
    std::string_view command() { return AllCommands[byte() % AllCommands.size()]; }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
};

// Modbus RTU closes a frame with its CRC-16, low byte first on the line.
inline bool HasValidCrc(std::span<const std::uint8_t> frame)
{
    if (frame.size() < 3)
        return false;
    const auto crc = codec::ComputeCrc16(frame, static_cast<int>(frame.size() - 2));
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == ((crc >> 8) & 0xFF);
}

// Overwrites the last two bytes with the CRC of the rest, so the fuzzer gets past it.
inline void FixCrc(std::span<std::uint8_t> frame)
{
    if (frame.size() < 3)
        return;
    const auto crc = codec::ComputeCrc16(frame, static_cast<int>(frame.size() - 2));
    frame[frame.size() - 2] = static_cast<std::uint8_t>(crc & 0xFF);
    frame[frame.size() - 1] = static_cast<std::uint8_t>((crc >> 8) & 0xFF);
}

// A BCD byte whose two digits are decimal and at most max (written as BCD, e.g. 0x59).
inline bool IsBcdAtMost(std::uint8_t b, std::uint8_t max)
{
    return (b >> 4) <= 9 && (b & 0x0F) <= 9 && b <= max;
}

} // namespace fuzz

#include "engine/replyend.h"

#include "codec/crc16.h"

namespace engine {

std::optional<std::size_t> ExpectedReplyLength(std::span<const std::uint8_t> start)
{
    if (start.size() < 2)
        return std::nullopt;
    const std::uint8_t function = start[1];
    if (function & 0x80)
        return 5; // address, function | 0x80, exception code, CRC
    switch (function) {
    case 0x03:
    case 0x04:
        if (start.size() < 3)
            return std::nullopt;
        return 5 + static_cast<std::size_t>(start[2]); // address, function, byte count, data, CRC
    case 0x10:
        return 8; // address, function, register, count, CRC
    default:
        return std::nullopt;
    }
}

bool ReplyComplete(std::span<const std::uint8_t> bytes)
{
    const auto length = ExpectedReplyLength(bytes);
    if (!length || bytes.size() < *length)
        return false;
    return codec::CrcRight(bytes.first(*length));
}

std::chrono::nanoseconds FrameSilence(const LineSettings &settings)
{
    if (settings.baud > 19200)
        return std::chrono::microseconds(1750);
    return CharacterTime(settings) * 7 / 2;
}

std::chrono::nanoseconds LineTime(const LineSettings &settings, std::size_t bytes)
{
    return CharacterTime(settings) * static_cast<std::int64_t>(bytes);
}

} // namespace engine

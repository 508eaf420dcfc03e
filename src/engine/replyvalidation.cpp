#include "engine/replyvalidation.h"

#include "codec/crc16.h"
#include "codec/hexcode.h"

namespace engine {

namespace {

// Deliberately stricter than the bare tests below would be: a shorter reply
// cannot hold the data that is then reported, so it is rejected outright.
constexpr int MinimumEcho = 8;       // address, function, register, count, CRC
constexpr int MinimumReadReply = 9;  // address, function, byte count, two registers, CRC
constexpr int ReadReplyOverhead = 5; // address, function, byte count, CRC

bool echoMatches(std::span<const std::uint8_t> rx, std::string_view replyCode)
{
    // A write reply code must carry function, register and count to compare with.
    if (replyCode.size() / 2 < 6)
        return false;
    for (int k = 2; k <= 6; ++k)
        if (codec::HexCodeByte(replyCode, k) != rx[static_cast<std::size_t>(k - 1)])
            return false;
    return true;
}

} // namespace

bool ValidateReply(std::span<const std::uint8_t> rx, int rxCount, std::uint8_t requestAddress,
                   std::string_view replyCode)
{
    if (rxCount < 2 || static_cast<std::size_t>(rxCount) > rx.size())
        return false;
    rx = rx.first(static_cast<std::size_t>(rxCount));
    if (rx[0] != requestAddress)
        return false;

    switch (rx[1]) {
    case 0x10:
        if (rxCount < MinimumEcho || !echoMatches(rx, replyCode))
            return false;
        break;
    case 0x03:
    case 0x04:
        // The energy is read from the four bytes before the CRC, so a read
        // reply must carry at least the two registers that were asked for.
        if (rxCount < MinimumReadReply || rx[2] != rxCount - ReadReplyOverhead)
            return false;
        break;
    default:
        return false; // exception replies included
    }

    const auto crc = codec::ComputeCrc16(rx, rxCount - 2);
    return rx[static_cast<std::size_t>(rxCount - 2)] == (crc & 0xFF)
           && rx[static_cast<std::size_t>(rxCount - 1)] == ((crc >> 8) & 0xFF);
}

} // namespace engine

#include "engine/replyvalidation.h"

#include "codec/crc16.h"
#include "codec/hexcode.h"

#include <cstdio>

namespace engine {

namespace {

// Deliberately stricter than the bare tests below would be: a shorter reply
// cannot hold the data that is then reported, so it is rejected outright.
constexpr int EchoLength = 8;        // address, function, register, count, CRC
constexpr int MinimumReadReply = 9;  // address, function, byte count, two registers, CRC
constexpr int ReadReplyOverhead = 5; // address, function, byte count, CRC
constexpr int ExceptionLength = 5;   // address, function | 0x80, code, CRC

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

ReplyCheck CheckReply(std::span<const std::uint8_t> rx, int rxCount, std::uint8_t requestAddress,
                      std::string_view replyCode)
{
    if (rxCount < 2 || static_cast<std::size_t>(rxCount) > rx.size())
        return ReplyCheck::TooShort;
    rx = rx.first(static_cast<std::size_t>(rxCount));
    if (rx[0] != requestAddress)
        return ReplyCheck::WrongAddress;

    switch (rx[1]) {
    case 0x10:
        if (rxCount < EchoLength)
            return ReplyCheck::TooShort;
        if (!echoMatches(rx, replyCode))
            return ReplyCheck::EchoMismatch;
        // A write is acknowledged by exactly these 8 bytes. Anything longer is
        // something else, such as the request itself given back by a 2-wire
        // adapter, whose CRC is right too.
        if (rxCount != EchoLength)
            return ReplyCheck::WrongLength;
        break;
    case 0x03:
    case 0x04:
        // A read reply never acknowledges a write: it can only be a late
        // answer to an earlier read. (A 03 reply to an 04 read stays accepted.)
        if (replyCode.size() / 2 >= 2 && codec::HexCodeByte(replyCode, 2) == 0x10)
            return ReplyCheck::WrongFunction;
        // The energy is read from the four bytes before the CRC, so a read
        // reply must carry at least the two registers that were asked for.
        if (rxCount < MinimumReadReply)
            return ReplyCheck::TooShort;
        if (rx[2] != rxCount - ReadReplyOverhead)
            return ReplyCheck::WrongLength;
        break;
    default:
        return (rx[1] & 0x80) ? ReplyCheck::Exception : ReplyCheck::WrongFunction;
    }
    return codec::CrcRight(rx) ? ReplyCheck::Accepted : ReplyCheck::BadCrc;
}

bool ValidateReply(std::span<const std::uint8_t> rx, int rxCount, std::uint8_t requestAddress,
                   std::string_view replyCode)
{
    return CheckReply(rx, rxCount, requestAddress, replyCode) == ReplyCheck::Accepted;
}

const char *ExceptionName(std::uint8_t code)
{
    switch (code) {
    case 0x01: return "Illegal Function";
    case 0x02: return "Illegal Data Address";
    case 0x03: return "Illegal Data Value";
    case 0x04: return "Slave Device Failure";
    case 0x05: return "Acknowledge";
    case 0x06: return "Slave Device Busy";
    case 0x08: return "Memory Parity Error";
    case 0x0A: return "Gateway Path Unavailable";
    case 0x0B: return "Gateway Target Device Failed to Respond";
    default: return "Unknown Exception";
    }
}

std::string ExceptionText(std::uint8_t code)
{
    char text[80];
    std::snprintf(text, sizeof text, "exception %02X (%s)", code, ExceptionName(code));
    return text;
}

std::string RejectionText(std::span<const std::uint8_t> reply, std::uint8_t requestAddress, std::string_view replyCode)
{
    const int count = static_cast<int>(reply.size());
    switch (CheckReply(reply, count, requestAddress, replyCode)) {
    case ReplyCheck::Accepted: return "accepted";
    case ReplyCheck::TooShort: return "too short";
    case ReplyCheck::WrongAddress: return "wrong address " + std::to_string(reply[0]);
    case ReplyCheck::Exception:
        if (count == ExceptionLength && codec::CrcRight(reply))
            return ExceptionText(reply[2]);
        return count < ExceptionLength ? "too short" : "bad CRC";
    case ReplyCheck::WrongFunction:
        if (reply[1] == 0x03 || reply[1] == 0x04)
            return "a read reply (function " + codec::HexText(reply.subspan(1, 1)) + ") is no acknowledgment of a write";
        return "unexpected function code " + codec::HexText(reply.subspan(1, 1));
    case ReplyCheck::EchoMismatch: return "the echo does not match the request";
    case ReplyCheck::WrongLength:
        return reply[1] == 0x10 ? "a write is acknowledged by 8 bytes, not " + std::to_string(count)
                                : "byte count does not match the length";
    case ReplyCheck::BadCrc: return "bad CRC";
    }
    return "rejected";
}

} // namespace engine

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Modbus TCP framing: the MBAP header that stands in for the RTU frame's
// address byte and CRC on a TCP connection. An RTU frame is
//   address | PDU (function code, data) | CRC low, CRC high
// and the ADU that carries the same request or reply is
//   transaction id (2) | protocol id (2) | length (2) | unit id (1) | PDU
// with big-endian words, length counting the unit id and the PDU, and the
// slave address as unit id.
namespace codec {

inline constexpr std::size_t MbapHeaderSize = 7;
inline constexpr std::uint16_t MbapModbusProtocol = 0;
// The unit id and a function code at the least; a PDU of 253 bytes at the most.
inline constexpr std::uint16_t MbapMinLength = 2;
inline constexpr std::uint16_t MbapMaxLength = 254;

struct MbapHeader {
    std::uint16_t transactionId = 0;
    std::uint16_t protocolId = 0;
    std::uint16_t length = 0;
    std::uint8_t unitId = 0;

    friend bool operator==(const MbapHeader &, const MbapHeader &) = default;
};

// The ADU that carries an RTU frame: its address becomes the unit id, its PDU
// follows the header, its CRC stays behind (TCP checks the bytes itself).
// Empty for a frame without a function code, or with a PDU over 253 bytes.
std::vector<std::uint8_t> RtuToMbap(std::span<const std::uint8_t> rtuFrame, std::uint16_t transactionId);

// The header at the front of the bytes; nullopt while fewer than seven are there.
std::optional<MbapHeader> ReadMbapHeader(std::span<const std::uint8_t> bytes);

// What the front of a received Modbus TCP byte stream holds, and how many
// bytes of it that concerns.
enum class MbapFront {
    Incomplete, // not yet a whole ADU: wait for more bytes (size 0)
    Adu,        // one whole Modbus ADU of `size` bytes
    Foreign,    // a whole ADU of `size` bytes with another protocol id: skip it
    Unframed,   // a length no ADU has: drop `size` bytes, up to the next place a
                // Modbus header could start (the last bytes are kept while they could)
};

struct MbapCut {
    MbapFront front = MbapFront::Incomplete;
    std::size_t size = 0;
};

// Cuts the front of a stream. Nothing arrives twice or out of order on TCP,
// so the length of a header is trusted as long as it is one an ADU can have.
MbapCut CutMbapFront(std::span<const std::uint8_t> stream);

// What a received ADU is.
enum class MbapCheck {
    Good,        // a Modbus ADU; for a reply, the one awaited
    Short,       // fewer bytes than a header and a function code
    Protocol,    // protocol id other than Modbus
    Length,      // its length field disagrees with its size, or no ADU has it
    Transaction, // the reply to another request
};

struct MbapDecoded {
    MbapCheck check = MbapCheck::Short;
    std::uint16_t transactionId = 0; // of the ADU, once it has a whole header
    // The same frame as a serial line would carry it: unit id as address, the
    // PDU, then the CRC low byte first. Empty unless check is Good.
    std::vector<std::uint8_t> rtu;
};

// One whole ADU as its RTU equivalent: a request for a server, which answers
// with RtuToMbap(its RTU reply, transactionId).
MbapDecoded MbapToRtu(std::span<const std::uint8_t> adu);

// The same for a client, which takes a reply only from the transaction of the
// request it sent last.
MbapDecoded MbapReplyToRtu(std::span<const std::uint8_t> adu, std::uint16_t transactionId);

} // namespace codec

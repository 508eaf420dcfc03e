#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

// One Modbus TCP request: the MBAP header's transaction and unit, and the PDU.
struct MbapFrame {
    std::uint16_t transaction = 0;
    std::uint8_t unit = 0;
    std::vector<std::uint8_t> pdu;
    std::vector<std::uint8_t> bytes; // as it came, header included, for the log
};

// Bytes a framer threw away, and why.
struct DroppedBytes {
    std::vector<std::uint8_t> bytes;
    std::string reason;
};

// Cuts a Modbus TCP stream into requests by the length in each MBAP header.
class MbapFramer {
public:
    void push(std::span<const std::uint8_t> bytes);

    // The next complete request. A frame of another protocol is skipped by
    // its length; a length no frame can have leaves no way to find the next
    // header, so everything pending goes.
    std::optional<MbapFrame> next();

    std::vector<DroppedBytes> takeDropped();

private:
    std::vector<std::uint8_t> m_pending;
    std::vector<DroppedBytes> m_dropped;
};

// A Modbus TCP reply: the request's transaction and unit before the PDU.
std::vector<std::uint8_t> MbapReply(std::uint16_t transaction, std::uint8_t unit, std::span<const std::uint8_t> pdu);

} // namespace sim

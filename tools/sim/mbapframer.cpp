#include "mbapframer.h"

#include <utility>

namespace sim {

namespace {

// Transaction id, protocol id and length, two bytes each, high byte first.
constexpr std::size_t HeaderSize = 6;
// The length counts the unit id and the PDU: a function code at least, 253 bytes at most.
constexpr std::size_t MinLength = 2;
constexpr std::size_t MaxLength = 254;

std::uint16_t wordAt(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

void putWord(std::vector<std::uint8_t>& bytes, std::size_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value >> 8 & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

} // namespace

void MbapFramer::push(std::span<const std::uint8_t> bytes)
{
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
}

std::optional<MbapFrame> MbapFramer::next()
{
    while (m_pending.size() >= HeaderSize) {
        const auto protocol = wordAt(m_pending, 2);
        const std::size_t length = wordAt(m_pending, 4);
        if (length < MinLength || length > MaxLength) {
            m_dropped.push_back({std::exchange(m_pending, {}), "length " + std::to_string(length)
                                     + " outside 2..254: dropped with all that followed it"});
            return std::nullopt;
        }
        const auto size = HeaderSize + length;
        if (m_pending.size() < size)
            return std::nullopt;
        std::vector<std::uint8_t> bytes(m_pending.begin(), m_pending.begin() + static_cast<long>(size));
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(size));
        if (protocol != 0) {
            m_dropped.push_back({std::move(bytes), "protocol id " + std::to_string(protocol) + ", not Modbus: dropped"});
            continue;
        }
        MbapFrame frame;
        frame.transaction = wordAt(bytes, 0);
        frame.unit = bytes[HeaderSize];
        frame.pdu.assign(bytes.begin() + HeaderSize + 1, bytes.end());
        frame.bytes = std::move(bytes);
        return frame;
    }
    return std::nullopt;
}

std::vector<DroppedBytes> MbapFramer::takeDropped()
{
    return std::exchange(m_dropped, {});
}

std::vector<std::uint8_t> MbapReply(std::uint16_t transaction, std::uint8_t unit, std::span<const std::uint8_t> pdu)
{
    std::vector<std::uint8_t> reply;
    reply.reserve(HeaderSize + 1 + pdu.size());
    putWord(reply, transaction);
    putWord(reply, 0); // protocol id: Modbus
    putWord(reply, pdu.size() + 1);
    reply.push_back(unit);
    reply.insert(reply.end(), pdu.begin(), pdu.end());
    return reply;
}

} // namespace sim

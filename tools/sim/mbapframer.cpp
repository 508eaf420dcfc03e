#include "mbapframer.h"

#include "codec/crc16.h"
#include "codec/mbap.h"

#include <utility>

namespace sim {

void MbapFramer::push(std::span<const std::uint8_t> bytes)
{
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
}

std::optional<MbapFrame> MbapFramer::next()
{
    for (;;) {
        const auto cut = codec::CutMbapFront(m_pending);
        if (cut.front == codec::MbapFront::Incomplete)
            return std::nullopt;
        std::vector<std::uint8_t> bytes(m_pending.begin(), m_pending.begin() + static_cast<long>(cut.size));
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(cut.size));
        switch (cut.front) {
        case codec::MbapFront::Unframed:
            m_dropped.push_back({std::move(bytes), "a length no Modbus TCP frame has: dropped up to the next header"});
            continue;
        case codec::MbapFront::Foreign: {
            const auto protocol = codec::ReadMbapHeader(bytes)->protocolId;
            m_dropped.push_back({std::move(bytes), "protocol id " + std::to_string(protocol) + ", not Modbus: dropped"});
            continue;
        }
        case codec::MbapFront::Adu:
        case codec::MbapFront::Incomplete:
            break;
        }
        const auto header = codec::ReadMbapHeader(bytes);
        MbapFrame frame;
        frame.transaction = header->transactionId;
        frame.unit = header->unitId;
        frame.pdu.assign(bytes.begin() + codec::MbapHeaderSize, bytes.end());
        frame.bytes = std::move(bytes);
        return frame;
    }
}

std::vector<DroppedBytes> MbapFramer::takeDropped()
{
    return std::exchange(m_dropped, {});
}

std::vector<std::uint8_t> MbapReply(std::uint16_t transaction, std::uint8_t unit, std::span<const std::uint8_t> pdu)
{
    // The reply a serial line would carry, in its ADU.
    std::vector<std::uint8_t> rtu{unit};
    rtu.insert(rtu.end(), pdu.begin(), pdu.end());
    codec::AppendCrc16(rtu);
    return codec::RtuToMbap(rtu, transaction);
}

} // namespace sim

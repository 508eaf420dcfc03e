#include "requestframer.h"

#include "codec/crc16.h"

#include <utility>

namespace sim {

namespace {

constexpr std::size_t MaxFrame = 256; // the longest Modbus RTU frame

bool crcMatches(std::span<const std::uint8_t> frame)
{
    if (frame.size() < 4)
        return false;
    // Low CRC byte first on the line.
    const auto crc = codec::ComputeCrc16(frame, static_cast<int>(frame.size() - 2));
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == ((crc >> 8) & 0xFF);
}

} // namespace

int RequestLength(std::span<const std::uint8_t> start)
{
    if (start.size() < 2)
        return 0;
    switch (start[1]) {
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x05: case 0x06: case 0x08:
        return 8; // address, function, two 16-bit fields, CRC
    case 0x07: case 0x0B: case 0x0C: case 0x11:
        return 4; // address, function, CRC
    case 0x16:
        return 10;
    case 0x0F: case 0x10:
        // address, function, start, count, byte count, data, CRC
        return start.size() < 7 ? 0 : 9 + start[6];
    case 0x17:
        return start.size() < 11 ? 0 : 13 + start[10];
    default:
        return -1;
    }
}

void RequestFramer::push(std::span<const std::uint8_t> bytes, Clock::time_point now)
{
    if (bytes.empty())
        return;
    m_lastByte = now;
    if (m_resync) {
        m_dropped.insert(m_dropped.end(), bytes.begin(), bytes.end());
        return;
    }
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
}

std::optional<ReceivedFrame> RequestFramer::next()
{
    if (m_resync)
        return std::nullopt;
    const int length = RequestLength(m_pending);
    if (length < 0 && m_pending.size() > MaxFrame) {
        // Longer than any frame without a known length: noise until the line falls silent.
        m_dropped.insert(m_dropped.end(), m_pending.begin(), m_pending.end());
        m_pending.clear();
        m_resync = true;
        return std::nullopt;
    }
    if (length <= 0 || m_pending.size() < static_cast<std::size_t>(length))
        return std::nullopt;
    ReceivedFrame frame;
    frame.bytes.assign(m_pending.begin(), m_pending.begin() + length);
    frame.crcOk = crcMatches(frame.bytes);
    frame.byLength = true;
    m_pending.erase(m_pending.begin(), m_pending.begin() + length);
    if (!frame.crcOk) {
        m_dropped.insert(m_dropped.end(), m_pending.begin(), m_pending.end());
        m_pending.clear();
        m_resync = true;
    }
    return frame;
}

std::optional<Clock::time_point> RequestFramer::silenceDeadline(std::chrono::nanoseconds characterTime) const
{
    if (m_pending.empty() && !m_resync)
        return std::nullopt;
    // A frame ends when the line has been silent for 3.5 character times.
    return m_lastByte + characterTime * 7 / 2;
}

std::optional<ReceivedFrame> RequestFramer::takeAtSilence(Clock::time_point now, std::chrono::nanoseconds characterTime)
{
    const auto deadline = silenceDeadline(characterTime);
    if (!deadline || now < *deadline)
        return std::nullopt;
    m_resync = false;
    if (m_pending.empty())
        return std::nullopt;
    ReceivedFrame frame;
    frame.bytes = std::move(m_pending);
    m_pending.clear();
    frame.crcOk = frame.bytes.size() <= MaxFrame && crcMatches(frame.bytes);
    return frame;
}

std::vector<std::uint8_t> RequestFramer::takeDropped()
{
    return std::exchange(m_dropped, {});
}

} // namespace sim

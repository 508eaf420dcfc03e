#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <span>

namespace monitor {

// The link type of a capture of bare Modbus RTU frames: the first of the
// user-defined ones (DLT_USER0), which a dissector is told to read as Modbus RTU.
inline constexpr std::uint32_t PcapLinkType = 147;

// Frames written as a classic libpcap capture: the file header, then one
// record per frame with its time to the microsecond. Little-endian throughout;
// the magic number tells readers the byte order.
class PcapWriter
{
public:
    explicit PcapWriter(std::ostream& out);

    // The file header; false when the stream has failed.
    bool start();
    // One frame, flushed so that a capture cut short still reads; false when the stream has failed.
    bool write(std::chrono::system_clock::time_point at, std::span<const std::uint8_t> frame);

private:
    void put32(std::uint32_t value);
    void put16(std::uint16_t value);

    std::ostream& m_out;
};

} // namespace monitor

#include "monitor/pcapwriter.h"

namespace monitor {

namespace {
constexpr std::uint32_t MicrosecondMagic = 0xA1B2C3D4;
constexpr std::uint32_t SnapLength = 65535;
} // namespace

PcapWriter::PcapWriter(std::ostream& out)
    : m_out(out)
{
}

void PcapWriter::put32(std::uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 24)};
    m_out.write(bytes, 4);
}

void PcapWriter::put16(std::uint16_t value)
{
    const char bytes[2] = {static_cast<char>(value), static_cast<char>(value >> 8)};
    m_out.write(bytes, 2);
}

bool PcapWriter::start()
{
    put32(MicrosecondMagic);
    put16(2); // format 2.4
    put16(4);
    put32(0); // times are UTC
    put32(0); // accuracy of the times, unused
    put32(SnapLength);
    put32(PcapLinkType);
    m_out.flush();
    return static_cast<bool>(m_out);
}

bool PcapWriter::write(std::chrono::system_clock::time_point at, std::span<const std::uint8_t> frame)
{
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
    const auto length = static_cast<std::uint32_t>(frame.size());
    put32(static_cast<std::uint32_t>(micros / 1'000'000));
    put32(static_cast<std::uint32_t>(micros % 1'000'000));
    put32(length); // all of it is kept
    put32(length);
    m_out.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
    m_out.flush();
    return static_cast<bool>(m_out);
}

} // namespace monitor

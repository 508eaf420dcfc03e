#include "frametrace.h"

#include "codec/hexcode.h"

#include <cstdio>
#include <vector>

namespace jobs {

std::string Millis(serial::Clock::duration d)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", std::chrono::duration<double, std::milli>(d).count());
    return text;
}

void Tracer::line(serial::Clock::time_point at, std::string_view what, const std::string &bytes)
{
    if (!m_started) {
        m_started = true;
        m_start = at;
        m_previous = at;
    }
    char head[64];
    std::snprintf(head, sizeof head, "%8s ms %+9.1f ms  ", Millis(at - m_start).c_str(),
                  std::chrono::duration<double, std::milli>(at - m_previous).count());
    m_out << m_prefix << head << what << bytes << "\n";
    m_previous = at;
}

void Tracer::exchange(std::span<const std::uint8_t> request, const serial::ExchangeResult &result)
{
    using End = serial::ExchangeResult::End;
    // The bytes as they went over the wire: MBAP frames behind a Modbus TCP gateway.
    line(result.written, "SEND : ", codec::HexText(result.wireRequest.empty() ? std::vector<std::uint8_t>(request.begin(), request.end())
                                                                              : result.wireRequest));
    if (result.end == End::PortFailed)
        return;
    std::vector<std::uint8_t> carried = result.echo;
    carried.insert(carried.end(), result.reply.begin(), result.reply.end());
    const bool asSent = result.wireReply == carried;
    if (!result.echo.empty())
        line(result.lastByte, "ECHO : ", codec::HexText(result.echo));
    const auto reply = asSent ? codec::HexText(result.reply) : codec::HexText(result.wireReply);
    // Another transaction's answer behind a gateway came, but is no reply to this request.
    if (!result.otherWire.empty())
        line(result.ended, "REV    : ", codec::HexText(result.otherWire) + " (another transaction's)");
    if (result.reply.empty() || result.end == End::Timeout) {
        if (!result.reply.empty() || result.otherWire.empty())
            line(result.ended, "REV    : ", result.reply.empty() ? "NO DATA" : reply + " (too late)");
    } else {
        line(result.lastByte, "REV    : ", reply);
    }
}

} // namespace jobs

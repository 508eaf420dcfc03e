#include "output.h"

#include "codec/hexcode.h"

#include <cstdio>

namespace cli {

namespace {

// The length of the well-formed UTF-8 sequence at the front of text, 0 if none.
std::size_t utf8Length(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned int low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

} // namespace

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: {
            const auto byte = static_cast<unsigned char>(c);
            const std::size_t sequence = byte >= 0x80 ? utf8Length(text.substr(i)) : 1;
            if (byte < 0x20 || sequence == 0) {
                // A control character, or a byte of a name that is not UTF-8
                // (a port path can be any bytes): escaped, so the JSON stays valid.
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += text.substr(i, sequence);
                i += sequence - 1;
            }
        }
        }
    }
    return out + "\"";
}

std::string Millis(serial::Clock::duration d)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", std::chrono::duration<double, std::milli>(d).count());
    return text;
}

void NoteExtraBytes(const serial::ExchangeResult &result, std::ostream &err)
{
    if (result.trailing > 0)
        err << "note: " << result.trailing << (result.trailing == 1 ? " more byte" : " more bytes")
            << " followed the reply\n";
    if (result.dropped > 0)
        err << "note: " << result.dropped << (result.dropped == 1 ? " byte" : " bytes")
            << " past the longest Modbus frame (256 bytes) were thrown away\n";
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

void PrintStep(std::ostream &out, std::ostream &err, bool json, const std::string &tag, const std::string &meter,
               const jobs::StepResult &result)
{
    using jobs::Verdict;
    if (json) {
        out << "{\"meter\": " << JsonString(meter) << ", \"command\": " << JsonString(result.command)
            << ", \"value\": " << JsonString(result.value) << ", \"outcome\": " << JsonString(jobs::VerdictWord(result.verdict))
            << ", \"acknowledged\": " << JsonString(result.acknowledged) << ", \"problem\": " << JsonString(result.problem);
        if (!result.answersAt.empty())
            out << ", \"answers_at\": " << JsonString(result.answersAt);
        out << "}\n" << std::flush;
        return;
    }
    const std::string what = tag + result.command + " at " + std::to_string(result.address) + " to " + result.value;
    // "acknowledged (DETAIL), verified: answers at ..." as each step ends.
    const bool acknowledged = !result.acknowledged.empty();
    if (acknowledged)
        out << what << ": acknowledged (" << result.acknowledged << ")";
    switch (result.verdict) {
    case Verdict::Verified: out << ", verified: " << result.answersAt << "\n"; break;
    case Verdict::Unverified: out << ", not verified: " << result.problem << "\n"; break;
    case Verdict::NoReply: out << what << ": no reply\n"; break;
    case Verdict::Rejected: out << what << ": rejected: " << result.problem << "\n"; break;
    case Verdict::PortFailed:
    case Verdict::Interrupted:
        if (acknowledged)
            out << ", not verified: " << result.problem << "\n";
        out << std::flush;
        err << what << ": " << result.problem << "\n";
        break;
    case Verdict::Refused:
    case Verdict::NotRun: break;
    }
    out << std::flush;
}

} // namespace cli

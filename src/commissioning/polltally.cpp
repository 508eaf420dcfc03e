#include "commissioning/polltally.h"

#include "codec/crc16.h"
#include "engine/replyvalidation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace commissioning {

namespace {

constexpr std::size_t ExceptionLength = 5; // address, function | 0x80, code, CRC

} // namespace

Judged JudgeReading(std::span<const std::uint8_t> reply, bool timedOut, std::uint8_t address,
                    std::string_view replyCode)
{
    // Whatever came before a time-out, the meter did not answer in time.
    if (timedOut)
        return {Reading::Timeout, 0};
    switch (engine::CheckReply(reply, static_cast<int>(reply.size()), address, replyCode)) {
    case engine::ReplyCheck::Accepted: return {Reading::Answered, 0};
    case engine::ReplyCheck::BadCrc: return {Reading::BadCrc, 0};
    case engine::ReplyCheck::WrongAddress:
        // Noise that happens to begin with another address is no other slave's frame.
        return codec::CrcRight(reply) ? Judged{Reading::WrongAddress, 0} : Judged{Reading::BadCrc, 0};
    case engine::ReplyCheck::Exception:
        if (reply.size() == ExceptionLength && codec::CrcRight(reply))
            return {Reading::Exception, reply[2]};
        return reply.size() == ExceptionLength ? Judged{Reading::BadCrc, 0} : Judged{Reading::Rejected, 0};
    case engine::ReplyCheck::TooShort:
    case engine::ReplyCheck::WrongFunction:
    case engine::ReplyCheck::EchoMismatch:
    case engine::ReplyCheck::WrongLength: break;
    }
    return {Reading::Rejected, 0};
}

const char *ReadingWord(Reading reading)
{
    switch (reading) {
    case Reading::Answered: return "answered";
    case Reading::Timeout: return "timeout";
    case Reading::BadCrc: return "bad-crc";
    case Reading::Exception: return "exception";
    case Reading::WrongAddress: return "wrong-address";
    case Reading::Rejected: return "rejected";
    }
    return "rejected";
}

std::string ExceptionLabel(std::uint8_t code)
{
    char text[80];
    std::snprintf(text, sizeof text, "%02X %s", code, engine::ExceptionName(code));
    return text;
}

void MeterTally::count(const Judged &judged, double responseMs, std::optional<double> energyKwh)
{
    ++m_sent;
    switch (judged.reading) {
    case Reading::Answered: break;
    case Reading::Timeout: ++m_timeouts; return;
    case Reading::BadCrc: ++m_badCrc; return;
    case Reading::Exception: ++m_exceptions[judged.exceptionCode]; return;
    case Reading::WrongAddress: ++m_wrongAddress; return;
    case Reading::Rejected: ++m_rejected; return;
    }
    m_minMs = m_answered == 0 ? responseMs : std::min(m_minMs, responseMs);
    m_maxMs = m_answered == 0 ? responseMs : std::max(m_maxMs, responseMs);
    m_sumMs += responseMs;
    ++m_tenths[std::llround(responseMs * 10)];
    ++m_answered;
    if (energyKwh) {
        if (!m_firstEnergy)
            m_firstEnergy = energyKwh;
        m_lastEnergy = energyKwh;
    }
}

long long MeterTally::exceptionCount() const
{
    long long total = 0;
    for (const auto &[code, count] : m_exceptions)
        total += count;
    return total;
}

double MeterTally::lossPercent() const
{
    return m_sent == 0 ? 0.0 : 100.0 * static_cast<double>(m_sent - m_answered) / static_cast<double>(m_sent);
}

std::optional<double> MeterTally::minMs() const
{
    return m_answered == 0 ? std::nullopt : std::optional(m_minMs);
}

std::optional<double> MeterTally::meanMs() const
{
    return m_answered == 0 ? std::nullopt : std::optional(m_sumMs / static_cast<double>(m_answered));
}

std::optional<double> MeterTally::maxMs() const
{
    return m_answered == 0 ? std::nullopt : std::optional(m_maxMs);
}

std::optional<double> MeterTally::p95Ms() const
{
    if (m_answered == 0)
        return std::nullopt;
    // Nearest rank: the smallest time that at least 95 % of the readings did not exceed.
    const long long rank = (m_answered * 95 + 99) / 100;
    long long seen = 0;
    for (const auto &[tenths, count] : m_tenths) {
        seen += count;
        // A bin's rounding never puts the percentile outside what was measured.
        if (seen >= rank)
            return std::clamp(static_cast<double>(tenths) / 10.0, m_minMs, m_maxMs);
    }
    return m_maxMs;
}

PollVerdict VerdictOf(std::span<const MeterTally *const> meters)
{
    PollVerdict verdict = PollVerdict::EveryReading;
    for (const MeterTally *meter : meters) {
        if (meter->sent() == 0)
            continue;
        if (meter->answered() == 0)
            return PollVerdict::MeterNeverAnswered;
        if (meter->answered() < meter->sent())
            verdict = PollVerdict::SomeFailed;
    }
    return verdict;
}

} // namespace commissioning

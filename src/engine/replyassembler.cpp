#include "engine/replyassembler.h"

#include "engine/replyend.h"

#include <algorithm>

namespace engine {

namespace {

constexpr std::chrono::milliseconds UnpacedSilence{20};

} // namespace

std::chrono::nanoseconds ReplySilence(const LineSettings &settings, bool pacedByLine)
{
    // What comes over a pseudo-terminal or a network is written by software or
    // carried in segments, and arrives in bursts whose gaps say nothing of the
    // far end's line: there a silence must be longer to mean the reply is over.
    const auto frameSilence = FrameSilence(settings);
    return pacedByLine ? frameSilence : std::max<std::chrono::nanoseconds>(frameSilence, UnpacedSilence);
}

void ReplyAssembler::start(std::span<const std::uint8_t> request, bool skipEcho, Clock::time_point sent,
                           std::chrono::nanoseconds silence, std::chrono::nanoseconds timeout)
{
    *this = ReplyAssembler();
    m_request.assign(request.begin(), request.end());
    m_echoPending = skipEcho;
    m_sent = sent;
    m_silence = silence;
    m_timeout = timeout;
}

void ReplyAssembler::take(std::span<const std::uint8_t> bytes, Clock::time_point at)
{
    if (m_complete || bytes.empty())
        return;
    m_lastByte = at;
    const std::size_t room = MaxRtuFrame - std::min(MaxRtuFrame, m_reply.size());
    const std::size_t kept = std::min(room, bytes.size());
    m_reply.insert(m_reply.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(kept));
    m_dropped += bytes.size() - kept;
    if (m_echoPending) {
        const std::size_t n = std::min(m_reply.size(), m_request.size());
        if (!std::equal(m_reply.begin(), m_reply.begin() + static_cast<std::ptrdiff_t>(n), m_request.begin())) {
            m_echoPending = false; // what came is not the request: no echo on this line
        } else if (m_reply.size() < m_request.size()) {
            return; // the echo is still coming
        } else {
            m_echo = m_request;
            m_reply.erase(m_reply.begin(), m_reply.begin() + static_cast<std::ptrdiff_t>(m_request.size()));
            m_echoPending = false;
        }
    }
    if (ReplyComplete(m_reply)) {
        const std::size_t length = *ExpectedReplyLength(m_reply);
        m_trailing = m_reply.size() - length + m_dropped;
        m_dropped = 0;
        m_reply.resize(length);
        m_complete = true;
    }
}

std::optional<ReplyAssembler::Clock::time_point> ReplyAssembler::silenceDue() const
{
    // An echo still coming is followed by the rest of the request, not by a
    // silence; after a whole echo the meter's turnaround is no silence either.
    if (m_complete || !m_lastByte || m_echoPending || m_reply.empty())
        return std::nullopt;
    return *m_lastByte + m_silence;
}

bool ReplyAssembler::echoed() const
{
    return m_echo.empty() && !m_request.empty() && m_reply.size() >= m_request.size()
           && std::equal(m_request.begin(), m_request.end(), m_reply.begin());
}

} // namespace engine

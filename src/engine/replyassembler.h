#pragma once

#include "engine/linesettings.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Where one reply on the line ends, for the faces that are not bound to the
// main window's timers (the command line, the gateways' tools): as soon as it
// is whole, else at the Modbus silence after its last byte, else at the
// time-out. The window's Confirm keeps its own rule, ReplyLine (50 ms of
// silence, 1000 ms time-out); the two are never mixed.
namespace engine {

// The longest Modbus RTU frame: what is kept of a reply, however much comes.
inline constexpr std::size_t MaxRtuFrame = 256;

// The silence that ends a reply: the Modbus one on a line a UART paces, at
// least 20 ms where bytes come in bursts (a pseudo-terminal, a network).
std::chrono::nanoseconds ReplySilence(const LineSettings &settings, bool pacedByLine);

// Gathers the bytes of one reply as they arrive, with their times.
class ReplyAssembler
{
public:
    using Clock = std::chrono::steady_clock;

    // A new request, which has left the line at `sent`. With skipEcho the
    // request's own bytes coming back first are a 2-wire adapter's echo.
    void start(std::span<const std::uint8_t> request, bool skipEcho, Clock::time_point sent,
               std::chrono::nanoseconds silence, std::chrono::nanoseconds timeout);

    // Bytes received at `at`. Nothing more is taken once the reply is whole.
    void take(std::span<const std::uint8_t> bytes, Clock::time_point at);

    // The expected length has come with a right CRC.
    bool complete() const { return m_complete; }
    // When the line's silence ends the reply: the last reply byte plus the
    // silence; none while no reply byte has come (the meter's turnaround after
    // an echo is no silence within a reply).
    std::optional<Clock::time_point> silenceDue() const;
    Clock::time_point timeoutDue() const { return m_sent + m_timeout; }

    // The reply, at most MaxRtuFrame bytes, without the adapter's echo.
    const std::vector<std::uint8_t> &reply() const { return m_reply; }
    const std::vector<std::uint8_t> &echo() const { return m_echo; }
    // What came begins with the request itself although no echo was expected:
    // the line echoes, and the bytes are not the meter's answer.
    bool echoed() const;
    // Bytes that came with a whole reply, after it.
    std::size_t trailing() const { return m_trailing; }
    // Bytes thrown away past MaxRtuFrame.
    std::size_t dropped() const { return m_dropped; }
    std::optional<Clock::time_point> lastByte() const { return m_lastByte; }

private:
    std::vector<std::uint8_t> m_request;
    std::vector<std::uint8_t> m_reply;
    std::vector<std::uint8_t> m_echo;
    bool m_echoPending = false;
    bool m_complete = false;
    std::size_t m_trailing = 0;
    std::size_t m_dropped = 0;
    Clock::time_point m_sent;
    std::chrono::nanoseconds m_silence{};
    std::chrono::nanoseconds m_timeout{};
    std::optional<Clock::time_point> m_lastByte;
};

} // namespace engine

#pragma once

#include "engine/linesettings.h"
#include "serial/serialline.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// One request and its reply on an open line, for the command line: the reply
// ends as soon as it is complete (its expected length with a right CRC), else
// at the Modbus silence after its last byte (at least 20 ms on a line no UART
// paces), else at the time-out.
namespace serial {

using Clock = std::chrono::steady_clock;

struct ExchangeResult {
    enum class End {
        Complete, // the expected length with a right CRC
        Silence,  // the line fell silent before the reply was whole
        Timeout,  // nothing usable in time
        PortFailed,
        Aborted,  // the exchange was given up (the program is being stopped)
    };
    End end = End::Timeout;
    std::vector<std::uint8_t> reply;    // the reply, without the adapter's echo
    std::vector<std::uint8_t> echo;     // the request as a 2-wire adapter echoed it
    // The request and what came back as they went over the wire (a gateway
    // speaking Modbus TCP carries them in MBAP frames); on a serial line the
    // same bytes.
    std::vector<std::uint8_t> wireRequest;
    std::vector<std::uint8_t> wireReply;
    // Received wire bytes that were no reply to this request: another
    // transaction's answer behind a Modbus TCP gateway.
    std::vector<std::uint8_t> otherWire;
    std::size_t trailing = 0;           // bytes that came after a complete reply
    std::size_t dropped = 0;            // bytes past the longest frame, thrown away
    bool echoed = false;                // the request came back though no echo was expected
    PortError error = PortError::None;  // when the port failed
    bool lost = false;                  // it went away while the reply was awaited
    Clock::time_point written;          // the write call
    Clock::time_point sent;             // the request has left the line
    Clock::time_point lastByte;         // of the reply, when one came
    Clock::time_point ended;            // the reply was over, or the time was up
};

// Bytes that came on a line after a time-out, thrown away before the next request.
struct LateBytes {
    std::size_t count = 0;
    Clock::duration after{}; // from the time-out to the first of them
    bool aborted = false;
};

class Exchanger
{
public:
    explicit Exchanger(SerialLine &line);

    // The line's settings, for its character and silence times.
    void setLineSettings(const engine::LineSettings &settings) { m_settings = settings; }
    const engine::LineSettings &lineSettings() const { return m_settings; }

    // Writes the request and gathers its reply. The time-out counts from the
    // moment the request has left the line, so a short one never cuts into a
    // slow line's own transmission. With skipEcho, the request's bytes coming
    // back first are taken as the adapter's echo, not as the reply.
    ExchangeResult exchange(std::span<const std::uint8_t> request, std::chrono::milliseconds timeout, bool skipEcho);

    // After a time-out: waits until the line has been quiet for `quiet`, so
    // that a late reply is never taken for the next request's, and throws
    // away what comes meanwhile. Noise that never stops is waited out for at
    // most a few times `quiet`.
    LateBytes settle(Clock::time_point timedOut, std::chrono::milliseconds quiet);

    // Ends a running exchange or settle at once (Aborted), and every later one.
    void abort();

private:
    SerialLine &m_line;
    engine::LineSettings m_settings;
    bool m_aborted = false;
    std::function<void()> m_stopRunning;
};

} // namespace serial

#pragma once

#include "engine/linesettings.h"
#include "serial/exchangeresult.h"
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

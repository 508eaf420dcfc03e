#pragma once

#include "jobs/changerun.h"
#include "serial/exchangeresult.h"

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

// How run, scan and set write what happened: JSON values, trace lines.
namespace cli {

// A JSON string literal, quotes included.
std::string JsonString(std::string_view text);

// "12.3": milliseconds to 0.1 ms.
std::string Millis(serial::Clock::duration d);

// Says on err what came besides the reply: bytes after it, and bytes past
// the longest Modbus frame that were thrown away.
void NoteExtraBytes(const serial::ExchangeResult &result, std::ostream &err);

// One step of a change as it ends: "TAG Modify Meter Address at 5 to 16:
// acknowledged (DETAIL), verified: answers at 16 9600 8N1", or its JSON object.
void PrintStep(std::ostream &out, std::ostream &err, bool json, const std::string &tag, const std::string &meter,
               const jobs::StepResult &result);

// The frames of one exchange, each with its time since `start` and the gap
// since the previous frame: "   9.6 ms   +9.6 ms  REV    : 01 04 04 ...".
class Tracer
{
public:
    // Each line begins with `prefix` (the port, where several lines are worked).
    explicit Tracer(std::ostream &out, std::string prefix = {})
        : m_out(out)
        , m_prefix(std::move(prefix))
    {
    }
    void exchange(std::span<const std::uint8_t> request, const serial::ExchangeResult &result);

private:
    void line(serial::Clock::time_point at, std::string_view what, const std::string &bytes);

    std::ostream &m_out;
    std::string m_prefix;
    bool m_started = false;
    serial::Clock::time_point m_start;
    serial::Clock::time_point m_previous;
};

} // namespace cli

#pragma once

#include "serial/exchangeresult.h"

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace jobs {

// "12.3": milliseconds to 0.1 ms.
std::string Millis(serial::Clock::duration d);

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

} // namespace jobs

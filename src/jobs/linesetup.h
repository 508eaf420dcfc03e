#pragma once

#include "engine/linesettings.h"

#include <optional>
#include <string>

namespace jobs {

// The line a job works: the port or gateway, its settings, and how long a
// reply is awaited.
struct LineSetup {
    std::string port;
    engine::LineSettings settings; // 9600, none, 8, 1 unless given
    int timeoutMs = 1000;
    // After a time-out, how long the line must be quiet before the next
    // request, so that a late reply is not taken for its answer; the
    // time-out unless given.
    std::optional<int> settleMs;
    bool echo = false; // a 2-wire adapter echoes what it sends
    // The pause between one exchange's end and the next request; the line
    // client's own (the Modbus silence where a UART paces the line) unless given.
    std::optional<int> guardMs;
};

} // namespace jobs

#pragma once

#include "faults.h"
#include "requestframer.h"
#include "simline.h"
#include "simlog.h"
#include "simmeter.h"

#include <deque>
#include <functional>
#include <random>
#include <vector>

namespace sim {

// Runs the line: cuts requests from it, lets the addressed meters answer, and
// sends their replies paced at the character time, with the faults in force.
class Simulator {
public:
    Simulator(SimLine& line, std::vector<SimMeter> meters, FaultPlan faults, LineSettings settings, SimLog& log);

    // Until a stop signal (0) or a line failure (1).
    int run();

private:
    // Bytes to write, or a setting to take up, at a point in time.
    struct Pending {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
        std::function<void()> then;
    };

    void handleFrame(const ReceivedFrame& frame);
    void answerAs(std::size_t meterIndex, std::span<const std::uint8_t> frame, bool faulty, Clock::time_point now);
    void broadcast(std::span<const std::uint8_t> frame);
    Clock::time_point queueBytes(std::span<const std::uint8_t> bytes, Clock::time_point start);
    void applyChange(std::size_t meterIndex, const SettingChange& change);
    bool sendDue(Clock::time_point now);
    void logDropped();
    std::vector<std::uint8_t> junk(std::size_t n);

    SimLine& m_line;
    std::vector<SimMeter> m_meters;
    FaultPlan m_faults;
    LineSettings m_settings;
    SimLog& m_log;
    RequestFramer m_framer;
    std::deque<Pending> m_out; // in order of due time
    Clock::time_point m_busyUntil{};
    bool m_faultsSpent = false;
    std::minstd_rand m_junk{0x5EED};
};

} // namespace sim

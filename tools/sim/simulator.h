#pragma once

#include "faults.h"
#include "mbapframer.h"
#include "requestframer.h"
#include "simlink.h"
#include "simlog.h"
#include "simmeter.h"

#include <deque>
#include <functional>
#include <random>
#include <vector>

namespace sim {

// Runs the link: cuts requests from it, lets the addressed meters that hear
// them answer, and sends their replies paced at the answering meter's
// character time, with the faults in force.
class Simulator {
public:
    // `settings` are the line's own: the framer's silence where the link tells none.
    // `seed` decides how the replies of meters that share an address overlap.
    Simulator(SimLink& link, GatewayFraming framing, std::vector<SimMeter> meters, FaultPlan faults, LineSettings settings,
              SimLog& log, std::uint32_t seed);

    // Until a stop signal (0) or a link failure (1).
    int run();

private:
    // Bytes to write, or a setting to take up, at a point in time.
    struct Pending {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
        std::function<void()> then;
        bool onBus = true; // false for what only the tool's own adapter hears (its echo)
    };

    // One request as either framing gives it.
    struct Request {
        std::span<const std::uint8_t> bytes; // as it came, for the log
        std::uint8_t address = 0;           // the slave address, or Modbus TCP's unit id
        std::span<const std::uint8_t> pdu;
        std::uint16_t transaction = 0; // Modbus TCP only
    };

    std::string hearingNote();
    void receive(std::span<const std::uint8_t> bytes, Clock::time_point now);
    void handleRtu(const ReceivedFrame& frame);
    void serve(const Request& request);
    // Whether the request changed a setting of the meter.
    bool answerAs(std::size_t meterIndex, const Request& request, bool faulty, Clock::time_point now);
    void collide(const std::vector<std::size_t>& answering, const Request& request, Clock::time_point now);
    void broadcast(const Request& request);
    bool hears(const SimMeter& meter) const;
    std::string heardText() const;
    std::chrono::nanoseconds replyCharacterTime(const SimMeter& meter) const;
    Clock::time_point queueBytes(std::span<const std::uint8_t> bytes, Clock::time_point start,
                                 std::chrono::nanoseconds characterTime);
    void schedule(Pending item);
    void applyChange(std::size_t meterIndex, const SettingChange& change);
    bool sendDue(Clock::time_point now);
    void startAfresh();
    void logDropped();
    bool faultsInForce() const;
    std::vector<std::uint8_t> junk(std::size_t n);

    SimLink& m_link;
    GatewayFraming m_framing;
    std::vector<SimMeter> m_meters;
    FaultPlan m_faults;
    LineSettings m_settings;
    SimLog& m_log;
    RequestFramer m_framer;
    MbapFramer m_mbap;
    std::optional<Hearing> m_heard; // what the last bytes came at; none over TCP
    std::deque<Pending> m_out;      // in order of due time
    Clock::time_point m_busyUntil{};
    bool m_faultsSpent = false;
    std::minstd_rand m_junk{0x5EED};
    std::minstd_rand m_collisions; // the standard fixes its sequence, so a seed repeats on every platform
};

} // namespace sim

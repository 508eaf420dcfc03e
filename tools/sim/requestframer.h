#pragma once

#include "simlink.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sim {

// One request cut from the line.
struct ReceivedFrame {
    std::vector<std::uint8_t> bytes;
    bool crcOk = false;
    bool byLength = false; // false: cut at a silence, its length unknown to the function code
};

// Cuts the bytes arriving on the line into request frames: by the length
// their function code implies, or else at a silence of 3.5 characters.
class RequestFramer {
public:
    void push(std::span<const std::uint8_t> bytes, Clock::time_point now);

    // The next frame whose length is complete; after a bad CRC the rest is
    // dropped until the line falls silent, as a slave loses step until then.
    std::optional<ReceivedFrame> next();

    // When the bytes still pending count as a finished frame, if any are pending.
    std::optional<Clock::time_point> silenceDeadline(std::chrono::nanoseconds characterTime) const;

    // The pending bytes as one frame once the line has been silent long enough.
    std::optional<ReceivedFrame> takeAtSilence(Clock::time_point now, std::chrono::nanoseconds characterTime);

    // Bytes dropped since the last call (after a bad CRC), for the log.
    std::vector<std::uint8_t> takeDropped();

private:
    std::vector<std::uint8_t> m_pending;
    std::vector<std::uint8_t> m_dropped;
    Clock::time_point m_lastByte{};
    bool m_resync = false;
};

// The length of a request frame with this function code, address and CRC
// included, once the bytes so far tell it; 0 when they do not yet, -1 when
// the function code does not say.
int RequestLength(std::span<const std::uint8_t> start);

} // namespace sim

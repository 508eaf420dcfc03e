#pragma once

#include "serial/serialline.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

// How one request and its reply on a line ended, with the bytes both ways.
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

} // namespace serial

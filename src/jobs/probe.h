#pragma once

#include "linesession.h"

#include <cstdint>
#include <string>
#include <vector>

// Asking an address whether a meter is there, and what it is.
namespace jobs {

// A request every meter of the family answers with a frame of its own: the
// energy read of the single-precision types; the others answer it with an
// exception, which counts as an answer too.
std::vector<std::uint8_t> ProbeFrame(std::uint8_t address);

// What came back for a probe of one address.
enum class Heard {
    Nothing,      // silence until the time-out
    Answer,       // one whole frame from that address with a right CRC
    Garbled,      // bytes, but no valid frame from that address
    Echo,         // the request itself, given back by the line
    OtherAddress, // a whole frame from another address: a late reply
    PortFailed,
    Interrupted,
};

// A gateway's own exception (path unavailable, target failed to respond) is
// no device at the probed address, and neither is the request given back.
Heard Classify(const serial::ExchangeResult &result, std::uint8_t address);

// What a found device is: the read it answers, and the meter types it can be
// with the energy each would read.
struct Identity {
    bool answersRead = false;                              // a read with data, not only exceptions
    bool interrupted = false;                              // stopped before it was known
    std::vector<std::pair<std::string, std::string>> types; // meter type, its energy text (empty: no read)
};

Task<Identity> Identify(LineSession &session, std::uint8_t address, const serial::ExchangeResult &probeReply);

} // namespace jobs

#pragma once

#include "simlink.h"

#include <optional>
#include <string>
#include <vector>

namespace sim {

// Ways a simulated meter can misbehave, for tests and training.
enum class FaultKind {
    Silent,    // carries the request out, but its reply never reaches the line
    BadCrc,    // reply with both CRC bytes inverted
    Exception, // exception reply (code) instead of carrying the request out
    Split,     // the reply in `count` chunks with `millis` between them
    Late,      // the reply starts `millis` after the request
    Garbage,   // `count` junk bytes right after a correct reply
    Chatter,   // after the reply, junk keeps coming: `count` bytes, or for a while
    Echo,      // the line gives back every request before the reply, as a 2-wire RS-485 adapter does
    KeepSettings, // acknowledges a new address, baud rate or parity but keeps the old one
};

struct Fault {
    FaultKind kind = FaultKind::Silent;
    int count = 0;
    int millis = 0;
    int code = 4; // exception code; 4 (slave device failure) unless given
};

// The faults in force, and whether they apply to the first request only.
struct FaultPlan {
    std::vector<Fault> faults;
    bool once = false;

    const Fault* find(FaultKind kind) const;
    std::string describe() const; // "late:200,split:3:50" or "none"

    // Why the plan makes no sense on a link, or an empty text: TCP has no
    // echo, and Modbus TCP no CRC and no room for junk between its frames.
    std::string unusableOn(GatewayFraming framing, bool overTcp) const;
};

// Parses --fault values: each a mode or a comma list of modes, modes with
// colon-separated arguments. nullopt with a reason on a bad one.
std::optional<FaultPlan> ParseFaults(const std::vector<std::string>& options, std::string& error);

} // namespace sim

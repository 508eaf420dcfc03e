#pragma once

#include "engine/linesettings.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Which line settings a sweep of the bus tries, and in which order: the
// catalogue's baud rates, most common first, each with the meters' own
// parity and stop-bit pairs, narrowed by what the technician asked for.
namespace commissioning {

// One setting a sweep tries (not a gateway's framing, not a whole line setting).
struct SweepSetting {
    int baud = 9600;
    engine::Parity parity = engine::Parity::None;
    engine::StopBits stopBits = engine::StopBits::One;
    friend bool operator==(const SweepSetting &, const SweepSetting &) = default;
};

// What a sweep was asked to try; an empty list means the meters' own.
struct SweepLists {
    std::vector<int> bauds;
    std::vector<engine::Parity> parities;
    std::vector<engine::StopBits> stopBits;
};

// Each baud rate with each parity and stop-bit pair, each setting once: the
// meters' own pairs that fit the lists, unless both lists were given, when
// every pair of the two is tried.
std::vector<SweepSetting> SweepSettings(const SweepLists &lists);

// "1-247", "1,5,10-20": meter addresses 1..247 in the order written, each
// once; none for a text that is no such list.
std::optional<std::vector<std::uint8_t>> ParseAddressList(std::string_view text);

// The line's settings with a sweep setting's baud rate, parity and stop bits.
engine::LineSettings WithSetting(engine::LineSettings line, const SweepSetting &setting);

} // namespace commissioning

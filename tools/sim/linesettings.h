#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// Line settings of the simulated bus: speed, parity and stop bits (always 8 data bits).
namespace sim {

enum class Parity { None, Even, Odd };

// The speed, parity and stop bits every meter on the line uses.
struct LineSettings {
    int baud = 9600;
    Parity parity = Parity::None;
    int stopBits = 1;
};

// The speeds the meters of the family and a termios line both know.
bool IsSupportedBaud(int baud);

// One character on the line: start bit, 8 data bits, the parity bit if any, the stop bits.
std::chrono::nanoseconds CharacterTime(const LineSettings& line);

// "9600 8N1"
std::string ToText(const LineSettings& line);

std::optional<Parity> ParityFromText(std::string_view text); // "none", "even", "odd"

} // namespace sim

#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// The settings of a serial line: one character frame and its rate. Shared by
// the tool's port, the command line and the meter simulator.
namespace engine {

enum class Parity : char { None = 'N', Odd = 'O', Even = 'E', Mark = 'M', Space = 'S' };
enum class StopBits { One, OneAndHalf, Two };

struct LineSettings {
    int baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8; // 5..8
    StopBits stopBits = StopBits::One;

    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};

// Baud rate, parity letter, data bits and stop bits joined by commas, e.g.
// "115200,E,8,1.5". The parity letter may be lower case; nothing else is
// tolerated (no blanks, no signs, no fifth field). nullopt for malformed text.
std::optional<LineSettings> parseLineSettings(std::string_view text);

// The canonical text of the settings: "9600,N,8,1".
std::string settingsText(const LineSettings &settings);

// "9600 8N1", as logs and listings write a line.
std::string ShortText(const LineSettings &settings);

// "none", "odd", "even", "mark", "space".
std::string_view ParityWord(Parity parity);
std::optional<Parity> ParityFromWord(std::string_view word);
// "1", "1.5", "2".
std::string_view StopBitsText(StopBits stopBits);
std::optional<StopBits> StopBitsFromText(std::string_view text);

// One character on the line: start bit, data bits, the parity bit if any, the stop bits.
std::chrono::nanoseconds CharacterTime(const LineSettings &settings);

} // namespace engine

#pragma once

#include <optional>
#include <string>
#include <string_view>

// The line settings text of the serial port ("9600,N,8,1") as plain values.
namespace serial {

enum class Parity : char { None = 'N', Odd = 'O', Even = 'E', Mark = 'M', Space = 'S' };
enum class StopBits { One, OneAndHalf, Two };

// One character frame on the line and its rate.
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

} // namespace serial

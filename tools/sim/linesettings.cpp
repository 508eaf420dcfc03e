#include "linesettings.h"

#include <array>
#include <algorithm>

namespace sim {

bool IsSupportedBaud(int baud)
{
    constexpr std::array<int, 8> speeds = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return std::find(speeds.begin(), speeds.end(), baud) != speeds.end();
}

std::chrono::nanoseconds CharacterTime(const LineSettings& line)
{
    const int bits = 1 + 8 + (line.parity == Parity::None ? 0 : 1) + line.stopBits;
    const int baud = line.baud > 0 ? line.baud : 9600;
    return std::chrono::nanoseconds(std::int64_t{bits} * 1'000'000'000 / baud);
}

std::string ToText(const LineSettings& line)
{
    const char parity = line.parity == Parity::None ? 'N' : line.parity == Parity::Even ? 'E' : 'O';
    return std::to_string(line.baud) + " 8" + parity + std::to_string(line.stopBits);
}

std::optional<Parity> ParityFromText(std::string_view text)
{
    if (text == "none")
        return Parity::None;
    if (text == "even")
        return Parity::Even;
    if (text == "odd")
        return Parity::Odd;
    return std::nullopt;
}

} // namespace sim

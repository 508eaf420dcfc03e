#include "engine/linesettings.h"

#include <array>
#include <charconv>
#include <cstdint>

namespace engine {

namespace {

// Splits at commas; nullopt unless there are exactly four fields.
std::optional<std::array<std::string_view, 4>> fourFields(std::string_view text)
{
    std::array<std::string_view, 4> fields;
    std::size_t field = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != ',')
            continue;
        if (field == fields.size())
            return std::nullopt;
        fields[field++] = text.substr(start, i - start);
        start = i + 1;
    }
    if (field != fields.size())
        return std::nullopt;
    return fields;
}

// Decimal digits only, at least one, and a value that fits.
std::optional<int> positiveNumber(std::string_view digits)
{
    if (digits.empty())
        return std::nullopt;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value <= 0)
        return std::nullopt;
    return value;
}

std::optional<Parity> parityFromLetter(std::string_view letter)
{
    if (letter.size() != 1)
        return std::nullopt;
    switch (letter[0]) {
    case 'N': case 'n': return Parity::None;
    case 'O': case 'o': return Parity::Odd;
    case 'E': case 'e': return Parity::Even;
    case 'M': case 'm': return Parity::Mark;
    case 'S': case 's': return Parity::Space;
    default: return std::nullopt;
    }
}

} // namespace

std::optional<LineSettings> parseLineSettings(std::string_view text)
{
    const auto fields = fourFields(text);
    if (!fields)
        return std::nullopt;
    const auto baud = positiveNumber((*fields)[0]);
    const auto parity = parityFromLetter((*fields)[1]);
    const auto stopBits = StopBitsFromText((*fields)[3]);
    const std::string_view dataBits = (*fields)[2];
    if (!baud || !parity || !stopBits || dataBits.size() != 1 || dataBits[0] < '5' || dataBits[0] > '8')
        return std::nullopt;
    return LineSettings{*baud, *parity, dataBits[0] - '0', *stopBits};
}

std::string settingsText(const LineSettings &settings)
{
    std::string text = std::to_string(settings.baud);
    text += ',';
    text += static_cast<char>(settings.parity);
    text += ',';
    text += std::to_string(settings.dataBits);
    text += ',';
    text += StopBitsText(settings.stopBits);
    return text;
}

std::string ShortText(const LineSettings &settings)
{
    return std::to_string(settings.baud) + " " + std::to_string(settings.dataBits) + static_cast<char>(settings.parity)
           + std::string(StopBitsText(settings.stopBits));
}

std::string_view ParityWord(Parity parity)
{
    switch (parity) {
    case Parity::Odd: return "odd";
    case Parity::Even: return "even";
    case Parity::Mark: return "mark";
    case Parity::Space: return "space";
    case Parity::None: break;
    }
    return "none";
}

std::optional<Parity> ParityFromWord(std::string_view word)
{
    for (const Parity p : {Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space})
        if (word == ParityWord(p))
            return p;
    return std::nullopt;
}

std::string_view StopBitsText(StopBits stopBits)
{
    switch (stopBits) {
    case StopBits::OneAndHalf: return "1.5";
    case StopBits::Two: return "2";
    case StopBits::One: break;
    }
    return "1";
}

std::optional<StopBits> StopBitsFromText(std::string_view text)
{
    for (const StopBits s : {StopBits::One, StopBits::OneAndHalf, StopBits::Two})
        if (text == StopBitsText(s))
            return s;
    return std::nullopt;
}

std::chrono::nanoseconds CharacterTime(const LineSettings &settings)
{
    // In half bits, so that 1.5 stop bits count exactly.
    const int halfBits = 2 * (1 + settings.dataBits + (settings.parity == Parity::None ? 0 : 1))
                         + (settings.stopBits == StopBits::One ? 2 : settings.stopBits == StopBits::Two ? 4 : 3);
    const int baud = settings.baud > 0 ? settings.baud : 9600;
    return std::chrono::nanoseconds(std::int64_t{halfBits} * 500'000'000 / baud);
}

} // namespace engine

#include "codec/trace.h"

#include <algorithm>

namespace codec {

namespace {

constexpr std::string_view LineEnd = "\r\n";
constexpr std::string_view ContinuationBreak = "\r\n             "; // line end and 13 blanks

std::string_view prefixOf(std::uint8_t direction)
{
    switch (direction) {
    case TraceSend:
        return "SEND : ";
    case TraceReceive:
        return "REV    : ";
    default:
        return {};
    }
}

std::span<const std::uint8_t> firstBytes(std::span<const std::uint8_t> bytes, int count)
{
    return bytes.first(std::clamp<std::size_t>(count < 0 ? 0 : static_cast<std::size_t>(count), 0, bytes.size()));
}

} // namespace

std::string AppendTraceHex(std::span<const std::uint8_t> bytes, int count, std::uint8_t direction)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text(prefixOf(direction));
    int onLine = 0;
    for (const auto b : firstBytes(bytes, count)) {
        if (onLine == 15) {
            text += ContinuationBreak;
            onLine = 0;
        } else if (onLine != 0) {
            text += ' ';
        }
        text += Digits[b >> 4];
        text += Digits[b & 0x0F];
        ++onLine;
    }
    text += LineEnd;
    return text;
}

std::string AppendTraceDecimal(std::span<const std::uint8_t> bytes, int count, std::uint8_t direction)
{
    std::string text(prefixOf(direction));
    int column = 0;
    for (const auto b : firstBytes(bytes, count)) {
        if (44 - column < 3) {
            text += ContinuationBreak;
            column = 0;
        } else if (column != 0) {
            text += ' ';
        }
        const auto digits = std::to_string(b);
        text += digits;
        column += static_cast<int>(digits.size()) + 1;
    }
    text += LineEnd;
    return text;
}

} // namespace codec

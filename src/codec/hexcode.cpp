#include "codec/hexcode.h"

namespace codec {

std::uint8_t HexDigitValue(std::uint16_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<std::uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<std::uint8_t>(c - 'a' + 10);
    return 0;
}

static std::uint8_t digitAt(std::string_view text, std::size_t index)
{
    return index < text.size() ? HexDigitValue(static_cast<unsigned char>(text[index])) : 0;
}

std::uint8_t HexCodeByte(std::string_view codeText, int k)
{
    if (k < 1)
        return 0;
    const auto first = static_cast<std::size_t>(2 * (k - 1));
    if (first + 1 >= codeText.size())
        return 0;
    return static_cast<std::uint8_t>(digitAt(codeText, first) * 16 + digitAt(codeText, first + 1));
}

std::vector<std::uint8_t> HexCodeToBytes(std::string_view codeText)
{
    std::vector<std::uint8_t> bytes(codeText.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(digitAt(codeText, 2 * i) * 16 + digitAt(codeText, 2 * i + 1));
    return bytes;
}

std::array<std::int32_t, 16> ParseCrcTable(std::string_view tableText)
{
    std::array<std::int32_t, 16> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        std::int32_t value = 0;
        for (std::size_t d = 0; d < 4; ++d)
            value = value * 16 + digitAt(tableText, 4 * i + d);
        table[i] = value;
    }
    return table;
}

namespace {

int strictDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text)
{
    std::vector<std::uint8_t> bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size())
            return std::nullopt;
        const int high = strictDigit(text[i]);
        const int low = strictDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        i += 2;
    }
    return bytes;
}

std::string HexText(std::span<const std::uint8_t> bytes)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const auto b : bytes) {
        if (!text.empty())
            text += ' ';
        text += Digits[b >> 4];
        text += Digits[b & 0x0F];
    }
    return text;
}

} // namespace codec

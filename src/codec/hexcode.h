#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Hex code texts: the request and reply codes of the catalogue, two digits a byte.
namespace codec {

// The nibble table of the Modbus CRC, stored as text and parsed at start-up.
inline constexpr std::string_view CrcTableText =
    "0000CC01D8011400F0013C002800E401A0016C007800B40150009C0188014400";

// Value of one hex digit given by its character code; anything that is not a
// hex digit counts as 0, as the code tables have always been read.
std::uint8_t HexDigitValue(std::uint16_t characterCode);

// Two digits a byte, high nibble first; an odd last digit is dropped.
std::vector<std::uint8_t> HexCodeToBytes(std::string_view codeText);

// Value of hex-digit pair k (1-based) of a code text, or 0 past its end.
std::uint8_t HexCodeByte(std::string_view codeText, int k);

// Four digits per entry, most significant first; missing digits count as 0.
std::array<std::int32_t, 16> ParseCrcTable(std::string_view tableText);

// Bytes typed by a person: hex pairs, upper or lower case, with or without
// blanks between bytes; nullopt for anything else (an odd digit, a blank
// inside a byte, a non-hex character). Unlike the code tables, nothing counts as 0.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text);

// "01 04 01 56": uppercase pairs with single blanks between them.
std::string HexText(std::span<const std::uint8_t> bytes);

} // namespace codec

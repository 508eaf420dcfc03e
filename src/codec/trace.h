#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Text of the SEND/REV trace lines; the window appends it, colours it and scrolls.
namespace codec {

enum TraceDirection : std::uint8_t { TraceSend = 1, TraceReceive = 2 };

// One trace line (prefix, bytes, CR LF) with the first count bytes in hex,
// at most 15 a line before a continuation break.
std::string AppendTraceHex(std::span<const std::uint8_t> bytes, int count, std::uint8_t direction);

// The same in decimal, breaking once a line's column count reaches 42.
std::string AppendTraceDecimal(std::span<const std::uint8_t> bytes, int count, std::uint8_t direction);

// The line the time-out writes instead of a reply.
inline constexpr std::string_view NoDataTraceLine = "REV    : NO DATA\r\n";

} // namespace codec

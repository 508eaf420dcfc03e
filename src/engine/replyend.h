#pragma once

#include "engine/linesettings.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// When a reply on the line is over, for faces of the tool that end a reply as
// soon as it is complete instead of waiting out the window's silence timer.
namespace engine {

// The length of the reply that starts with these bytes, address and CRC
// included, once they tell it: a read reply 5 + its byte count, a write echo
// 8, an exception 5. nullopt while too few bytes have come, or when the
// function code is none of these.
std::optional<std::size_t> ExpectedReplyLength(std::span<const std::uint8_t> start);

// The first bytes form a whole reply: its expected length has come and the
// CRC over them is right (low byte first). Bytes after it are not part of it.
bool ReplyComplete(std::span<const std::uint8_t> bytes);

// The silence that ends a Modbus RTU frame: 3.5 character times, and a fixed
// 1.75 ms above 19200 baud, where the character time no longer matters.
std::chrono::nanoseconds FrameSilence(const LineSettings &settings);

// How long `bytes` characters take on the line.
std::chrono::nanoseconds LineTime(const LineSettings &settings, std::size_t bytes);

} // namespace engine

#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Acceptance of a reply gathered for the outstanding request.
namespace engine {

// True when the first rxCount bytes of rx are a fitting reply: the request's
// slave address, a write echo of the reply code's function, register and
// count, or a read reply whose byte count matches its length, and a right
// CRC (low byte first). Never reads a byte that was not received.
bool ValidateReply(std::span<const std::uint8_t> rx, int rxCount, std::uint8_t requestAddress,
                   std::string_view replyCode);

} // namespace engine

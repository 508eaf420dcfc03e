#pragma once

#include "engine/state.h"

#include <cstdint>
#include <string_view>
#include <vector>

// Laying out a Modbus RTU request frame for one operation.
namespace engine {

// The whole frame, CRC included, in line order: the request code with the
// slave address in front, the data field of the frame kind, the CRC-16.
// Empty when the frame kind or the request code leaves nothing to send.
std::vector<std::uint8_t> BuildRequestFrame(std::uint8_t frameKind, std::string_view command,
                                            std::string_view requestCode, std::uint8_t slaveAddress,
                                            int parameterCode, const TimeBytes& timeData,
                                            const TariffBytes& tariffData);

} // namespace engine

#pragma once

#include "engine/state.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The report of an accepted reply.
namespace engine {

struct ResultText {
    std::string message; // shown in the "Success" box
    std::string detail;  // follows " operation success." in the History.log entry
};

// Written values are quoted from what was accepted when the request was built
// (the recorded values of state); energies are decoded from the four bytes
// before the reply's CRC.
ResultText ResultTexts(const OperationState& state, std::span<const std::uint8_t> reply, std::string_view meterType,
                       std::string_view command);

// The energy of a read reply as the report writes it ("1234.5677", "120.5", "12.05").
std::string EnergyText(std::span<const std::uint8_t> reply, std::string_view meterType);

} // namespace engine

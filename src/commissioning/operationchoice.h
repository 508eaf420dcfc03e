#pragma once

#include "engine/state.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// One catalogue operation as the technician chose it, and the state it leaves
// once its values have been accepted, as the send handler would have it just
// before writing the frame.
namespace commissioning {

// The meter, the command, the address and the values the dialogs would ask for.
struct OperationChoice {
    std::string meter;
    std::string command;
    std::uint8_t address = 0;
    std::optional<std::string> value1; // DialogValue1
    std::optional<std::string> value2; // DialogValue2
    std::optional<engine::TimeBytes> timeData;
    std::optional<engine::TariffBytes> tariffData;
    std::optional<std::string> date; // "MM/DD/YYYY", checked as the time dialog checks it
    std::optional<std::string> time; // "HH:MM:SS"
    std::optional<std::string> tariff;
};

// The operation state ready for the frame to be built or the reply judged.
struct PreparedOperation {
    engine::OperationState state;
    int parameterCode = 0;
};

// Either the prepared operation or the refusal of one of its values.
struct Preparation {
    std::optional<PreparedOperation> prepared;
    std::string refusal; // the message the tool would show, when a value is refused
};

Preparation PrepareOperation(const OperationChoice &choice);

// "Set Time" texts of the date and time bytes (BCD): "MM/DD/YYYY" and "HH:MM:SS".
std::string DateTextOf(const engine::TimeBytes &timeData);
std::string TimeTextOf(const engine::TimeBytes &timeData);

// The four tariff summaries of a schedule given as bytes, in the tariff dialog's words.
std::array<std::string, 4> TariffSummariesOf(const engine::TariffBytes &tariffData);

} // namespace commissioning

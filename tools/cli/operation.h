#pragma once

#include "options.h"

#include "engine/state.h"

#include <optional>
#include <string>

// The state one operation leaves behind once its values have been accepted,
// as the send handler would have it just before writing the frame.
namespace cli {

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

Preparation PrepareOperation(const Options& options);

// "Set Time" texts of the date and time bytes (BCD): "MM/DD/YYYY" and "HH:MM:SS".
std::string DateTextOf(const engine::TimeBytes& timeData);
std::string TimeTextOf(const engine::TimeBytes& timeData);

// The four tariff summaries of a schedule given as bytes, in the tariff dialog's words.
std::array<std::string, 4> TariffSummariesOf(const engine::TariffBytes& tariffData);

} // namespace cli

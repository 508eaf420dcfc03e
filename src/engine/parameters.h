#pragma once

#include "engine/state.h"

#include <cstdint>
#include <string>
#include <string_view>

// Acceptance of the value a parameter dialog returns for a write command.
namespace engine {

struct ParameterVerdict {
    bool accepted = false;
    int code = 0;          // the parameter code the frame carries, when accepted
    std::string message;   // the refusal, shown as an error box, when refused
    std::string caption;
};

// Checks value1/value2 (DialogValue1/DialogValue2) for "Modify Meter Address",
// "Modify Baud Rate", "Modify Parity" or "Set CT", turns them into the
// parameter code and records the accepted texts in state for the report.
ParameterVerdict AcceptParameter(OperationState& state, std::string_view meterType, std::string_view command,
                                 std::uint8_t frameKind, std::string_view value1, std::string_view value2);

} // namespace engine

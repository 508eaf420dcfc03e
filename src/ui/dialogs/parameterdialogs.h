#pragma once

#include "engine/state.h"

#include <string_view>

class QWidget;

namespace dialogs {

// Asks the operator for the value of a write command (the send handler sets DialogResult to 0 first).
class ParameterDialogs
{
public:
    virtual ~ParameterDialogs() = default;
    virtual void ask(std::string_view command, std::string_view meterType) = 0;
};

// The real thing: builds the command's dialog anew, shows it modally over owner, destroys it.
// A command without a dialog asks nothing, so DialogResult stays as it was.
class ModalParameterDialogs final : public ParameterDialogs
{
public:
    ModalParameterDialogs(engine::OperationState &state, QWidget *owner);
    void ask(std::string_view command, std::string_view meterType) override;

private:
    engine::OperationState &m_state;
    QWidget *m_owner;
};

} // namespace dialogs

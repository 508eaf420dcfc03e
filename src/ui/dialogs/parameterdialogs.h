#pragma once

#include "engine/dialoganswer.h"

#include <string_view>

class QWidget;

namespace dialogs {

// Asks the operator for the value of a write command and hands back the answer.
class ParameterDialogs
{
public:
    virtual ~ParameterDialogs() = default;
    virtual engine::DialogAnswer ask(std::string_view command, std::string_view meterType) = 0;
};

// The real thing: builds the command's dialog anew, shows it modally over owner, destroys it.
// A command without a dialog asks nothing and answers nothing.
class ModalParameterDialogs final : public ParameterDialogs
{
public:
    explicit ModalParameterDialogs(QWidget *owner);
    engine::DialogAnswer ask(std::string_view command, std::string_view meterType) override;

private:
    QWidget *m_owner;
};

} // namespace dialogs

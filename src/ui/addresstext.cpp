#include "ui/addresstext.h"

#include "engine/addressrule.h"
#include "ui/messages/showmessage.h"
#include "ui/shared.h"

namespace {

void inputError(std::string_view message)
{
    messages::ShowMessage(ui::qtext(message), messages::IconError, ui::qtext(engine::InputErrorCaption));
}

} // namespace

std::uint8_t ValidateAddressText(const QString &text)
{
    switch (engine::CheckAddressText(text.toStdString())) {
    case engine::AddressTextVerdict::IllegalCharacters:
        inputError(engine::IllegalCharactersMessage);
        return 2;
    case engine::AddressTextVerdict::OutOfRange:
        inputError(engine::AddressRangeMessage);
        return 2;
    case engine::AddressTextVerdict::Valid:
        break;
    }
    return 0;
}

namespace ui {

bool AcceptDigitsOnly(const QString &text)
{
    if (engine::AllAsciiDigits(text.toStdString()))
        return true;
    inputError(engine::IllegalCharactersMessage);
    return false;
}

} // namespace ui

#include "ui/main/addressentry.h"

#include "engine/addressrule.h"
#include "ui/messages/showmessage.h"

std::uint8_t ValidateAddressText(const QString &text)
{
    // Anything outside the ASCII digits is illegal, other scripts' digits included.
    for (const QChar c : text)
        if (c.unicode() < '0' || c.unicode() > '9') {
            messages::ShowMessage(QStringLiteral("The input data contains illegal characters, please re-enter effective number!"),
                                  messages::IconError, QStringLiteral("INPUT ERROR"));
            return 2;
        }
    if (engine::CheckAddressText(text.toStdString()) == engine::AddressTextVerdict::OutOfRange) {
        messages::ShowMessage(QStringLiteral("The input data is out of range, please re-enter the numbers ranges from 1-247!"),
                              messages::IconError, QStringLiteral("INPUT ERROR"));
        return 2;
    }
    return 0;
}

#pragma once

#include <QString>
#include <cstdint>

// The checks of the digit boxes, each showing the one message that says why a
// text is refused: the slave address boxes and the CT boxes.

// ValidateAddressText: 0 when the text is a valid slave address text, 2 when it is not.
std::uint8_t ValidateAddressText(const QString &text);

namespace ui {

// True for a text of ASCII digits only; otherwise shows the illegal-characters message.
bool AcceptDigitsOnly(const QString &text);

} // namespace ui

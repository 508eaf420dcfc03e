#pragma once

#include <QString>
#include <cstdint>

// ValidateAddressText: 0 when the text is a valid slave address text, 2 when
// it is not, after showing the one message that says why.
std::uint8_t ValidateAddressText(const QString &text);

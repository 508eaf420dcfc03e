#pragma once

#include <string_view>

// The rule every slave address box applies: ASCII digits only (the empty
// text counts as 0), value 0..247, leading zeros allowed.
namespace engine {

enum class AddressTextVerdict { Valid, IllegalCharacters, OutOfRange };

AddressTextVerdict CheckAddressText(std::string_view text);

} // namespace engine

#pragma once

#include <string>
#include <string_view>

namespace codec {

// A JSON string literal, quotes included; bytes that are not UTF-8 are escaped,
// so the JSON stays valid whatever a port's name holds.
std::string JsonString(std::string_view text);

} // namespace codec

#pragma once

#include "scanjob.h"

#include <string>

// How a found device is written, the same in every face.
namespace jobs {

// "Tarvik CT, Tarvik DC (1234.5677 kWh); Morel-K (120.5 kWh)": types that read alike together.
std::string FoundTypesText(const FoundDevice &found);

// "TAG address 5 at 9600 8N1: answered a read; can be ...", and what to do
// where two devices seem to share the address.
std::string FoundLine(const FoundDevice &found, const std::string &tag);

// The device as a JSON object, with its port when several lines were swept.
std::string FoundJson(const FoundDevice &found, bool withPort);

} // namespace jobs

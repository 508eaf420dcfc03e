#pragma once

#include "codec/jsontext.h"
#include "jobs/changerun.h"
#include "jobs/frametrace.h"
#include "serial/exchangeresult.h"

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

// How run, scan and set write what happened: JSON values, trace lines.
namespace cli {

using codec::JsonString;
using jobs::Millis;
using jobs::Tracer;

// Says on err what came besides the reply: bytes after it, and bytes past
// the longest Modbus frame that were thrown away.
void NoteExtraBytes(const serial::ExchangeResult &result, std::ostream &err);

// One step of a change as it ends: "TAG Modify Meter Address at 5 to 16:
// acknowledged (DETAIL), verified: answers at 16 9600 8N1", or its JSON object.
void PrintStep(std::ostream &out, std::ostream &err, bool json, const std::string &tag, const std::string &meter,
               const jobs::StepResult &result);

} // namespace cli

#pragma once

#include "options.h"

#include "commissioning/polltally.h"

#include <string>
#include <string_view>
#include <vector>

// poll's meter lists and its closing table, apart from the line work so that
// they are checked in-process.
namespace cli {

// The meters of a file given to --from: a scan's JSON output (an array of
// objects with address, optional port and meter_types, of which the first is
// taken) or a plan CSV (columns address and meter, optional port). Devices a
// scan found no meter type for are left out and said on notes. The reason
// when the text is neither.
std::string ReadPollMeters(std::string_view text, std::vector<PolledMeter> &meters, std::string &notes);

// One meter on one line, and its readings so far.
struct PolledRow {
    std::string port;
    PolledMeter meter;
    commissioning::MeterTally tally;
};

// The closing table: a header, then one row per meter, columns aligned.
std::string TallyTable(const std::vector<const PolledRow *> &rows);

} // namespace cli

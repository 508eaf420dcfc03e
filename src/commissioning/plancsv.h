#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The plan file of a commissioning run: CSV as RFC 4180 has it (quoted
// fields, CRLF or LF line ends, a UTF-8 byte order mark tolerated), a header
// naming the columns in any letter case, one meter a row. A result file is a
// plan too: the plan's columns, then outcome and detail.
namespace commissioning {

// The columns a plan is read by; any others are kept as they are.
inline constexpr std::string_view PlanColumns[] = {"address", "meter", "new_address", "new_baud", "new_parity",
                                                   "new_stop_bits"};
inline constexpr std::string_view OutcomeColumn = "outcome";
inline constexpr std::string_view DetailColumn = "detail";

struct PlanRow {
    int line = 0;                    // in the file, from 1
    std::vector<std::string> fields; // in the header's order
};

struct Plan {
    std::vector<std::string> header; // as written, without the outcome and detail of a result file
    std::vector<PlanRow> rows;
    // The field of a row in a named plan column; empty when the column is absent.
    std::string field(const PlanRow &row, std::string_view column) const;
};

struct PlanError {
    int line = 0;
    std::string column; // empty when the whole line is at fault
    std::string what;
};

// The plan, or the first thing that makes the text no plan.
struct PlanParse {
    std::optional<Plan> plan;
    PlanError error;
};

PlanParse ParsePlan(std::string_view text);

// One CSV field, quoted where it must be.
std::string CsvField(std::string_view text);

// The result file's header and one row: the plan's own fields, then the two results.
std::string ResultHeader(const Plan &plan);
std::string ResultRow(const PlanRow &row, std::string_view outcome, std::string_view detail);

} // namespace commissioning

#include "commissioning/plancsv.h"

#include <algorithm>
#include <cctype>

namespace commissioning {

namespace {

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// The records of a CSV text: fields split on commas, quotes taken off, a
// quoted field may hold commas, doubled quotes and line ends. Each record
// with the line it begins on.
struct Records {
    std::vector<std::pair<int, std::vector<std::string>>> records;
    std::optional<PlanError> error;
};

Records readRecords(std::string_view text)
{
    Records out;
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;     // inside quotes
    bool wasQuoted = false;  // the field began with a quote
    int line = 1;
    int recordLine = 1;
    const auto endField = [&] {
        fields.push_back(wasQuoted ? field : trimmed(field));
        field.clear();
        wasQuoted = false;
    };
    const auto endRecord = [&] {
        endField();
        if (!(fields.size() == 1 && fields[0].empty()))
            out.records.emplace_back(recordLine, std::move(fields));
        fields.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == '"' && trimmed(field).empty()) {
            field.clear();
            quoted = wasQuoted = true;
        } else if (c == ',') {
            endField();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        } else if (c == '\n') {
            endRecord();
            recordLine = ++line;
        } else if (wasQuoted && c != ' ') {
            out.error = PlanError{line, {}, "text after a closing quote"};
            return out;
        } else {
            field += c;
        }
    }
    if (quoted) {
        out.error = PlanError{recordLine, {}, "a quote is never closed"};
        return out;
    }
    if (!field.empty() || !fields.empty() || wasQuoted)
        endRecord();
    return out;
}

} // namespace

std::string Plan::field(const PlanRow &row, std::string_view column) const
{
    for (std::size_t i = 0; i < header.size() && i < row.fields.size(); ++i)
        if (lowered(header[i]) == column)
            return row.fields[i];
    return {};
}

PlanParse ParsePlan(std::string_view text)
{
    PlanParse parse;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    auto records = readRecords(text);
    if (records.error) {
        parse.error = *records.error;
        return parse;
    }
    if (records.records.empty()) {
        parse.error = {0, {}, "the plan is empty"};
        return parse;
    }
    const auto &[headerLine, header] = records.records.front();
    std::vector<std::string> names;
    for (const auto &name : header)
        names.push_back(lowered(name));
    if (names.size() == 1 && names[0].find(';') != std::string::npos) {
        parse.error = {headerLine, {}, "the columns are separated by semicolons; save the plan as CSV with commas"};
        return parse;
    }
    for (const auto column : {PlanColumns[0], PlanColumns[1]})
        if (std::find(names.begin(), names.end(), column) == names.end()) {
            parse.error = {headerLine, std::string(column),
                           "the header has no column " + std::string(column)
                               + "; the first line names the columns: address,meter,new_address,new_baud,new_parity,new_stop_bits"};
            return parse;
        }
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!names[i].empty() && std::count(names.begin(), names.end(), names[i]) > 1) {
            parse.error = {headerLine, header[i], "the column " + header[i] + " is named twice"};
            return parse;
        }
    Plan plan;
    // A result file read as a plan: its old results are not carried into the new one.
    std::vector<std::size_t> keep;
    for (std::size_t i = 0; i < header.size(); ++i)
        if (names[i] != OutcomeColumn && names[i] != DetailColumn) {
            keep.push_back(i);
            plan.header.push_back(header[i]);
        }
    for (std::size_t r = 1; r < records.records.size(); ++r) {
        auto &[line, fields] = records.records[r];
        if (fields.size() > header.size()) {
            parse.error = {line, {}, "this row has " + std::to_string(fields.size()) + " fields, the header "
                                         + std::to_string(header.size())};
            return parse;
        }
        fields.resize(header.size());
        PlanRow row{line, {}};
        for (const auto i : keep)
            row.fields.push_back(fields[i]);
        plan.rows.push_back(std::move(row));
    }
    if (plan.rows.empty()) {
        parse.error = {headerLine, {}, "the plan has a header but no rows"};
        return parse;
    }
    parse.plan = std::move(plan);
    return parse;
}

std::string CsvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos && text == trimmed(text))
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string ResultHeader(const Plan &plan)
{
    std::string line;
    for (const auto &name : plan.header)
        line += CsvField(name) + ",";
    return line + std::string(OutcomeColumn) + "," + std::string(DetailColumn) + "\n";
}

std::string ResultRow(const PlanRow &row, std::string_view outcome, std::string_view detail)
{
    std::string line;
    for (const auto &field : row.fields)
        line += CsvField(field) + ",";
    return line + CsvField(outcome) + "," + CsvField(detail) + "\n";
}

} // namespace commissioning

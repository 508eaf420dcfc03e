#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The file of readings a poll writes as it goes, one row a reading, so that
// a program killed mid-way loses nothing already read.
namespace commissioning {

// One reading as the log keeps it.
struct ReadingRow {
    std::string time; // ISO 8601, with its offset from UTC
    std::string port;
    int address = 0;
    std::string meter;
    std::string outcome; // "answered", "timeout", "bad-crc", ...
    std::string detail;
    std::optional<double> energyKwh;
    std::optional<double> responseMs; // none for a time-out
};

// The column names; with a start time and lines, first a comment line naming them:
// "# started 2026-12-09T21:00:00+00:00; lines: /dev/ttyUSB0 9600 8N1".
std::string ReadingLogHeader(std::string_view started = {}, const std::vector<std::string> &lines = {});

// One row, CSV as the plan file writes it, CRLF at its end.
std::string ReadingLogRow(const ReadingRow &row);

} // namespace commissioning

#include "readinglog.h"
#include "plancsv.h"

#include <cstdio>

namespace commissioning {

std::string ReadingLogHeader(std::string_view started, const std::vector<std::string> &lines)
{
    std::string text;
    if (!started.empty()) {
        text = "# started " + std::string(started) + "; lines:";
        for (std::size_t i = 0; i < lines.size(); ++i)
            text += (i ? ", " : " ") + lines[i];
        text += "\r\n";
    }
    return text + "time,port,address,meter,outcome,detail,energy_kwh,response_ms\r\n";
}

std::string ReadingLogRow(const ReadingRow &row)
{
    char energy[48] = "";
    if (row.energyKwh)
        std::snprintf(energy, sizeof energy, "%.10g", *row.energyKwh);
    char ms[32] = "";
    if (row.responseMs)
        std::snprintf(ms, sizeof ms, "%.1f", *row.responseMs);
    return CsvField(row.time) + "," + CsvField(row.port) + "," + std::to_string(row.address) + "," + CsvField(row.meter)
           + "," + CsvField(row.outcome) + "," + CsvField(row.detail) + "," + energy + "," + ms + "\r\n";
}

} // namespace commissioning

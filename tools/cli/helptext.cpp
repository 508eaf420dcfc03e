#include "options.h"

#include "catalogue/catalogue.h"

namespace cli {

std::string HelpText()
{
    std::string text = R"(Usage:
  quorvane-cli frame --meter TYPE --command COMMAND --address N [value options]
  quorvane-cli reply --meter TYPE --command COMMAND --address N [value options] --bytes HEX
  quorvane-cli --help

frame   prints the Modbus RTU request frame the tool sends for the operation:
        uppercase hex pairs separated by single blanks, then a line end.
reply   judges the reply bytes HEX as the tool does for that request and prints
        "accepted" and, on the next line, the detail text of its History.log
        entry, or "rejected".

Options (OPTION VALUE or OPTION=VALUE):
  --meter TYPE         meter type, exactly as the meter type list shows it
  --command COMMAND    command, exactly as that type's command list shows it
  --address N          slave address of the request, 0..255
  --value V            what the parameter dialog returns first: the new address
                       ("Modify Meter Address"), the baud rate ("Modify Baud Rate"),
                       the parity NONE/ODD/EVEN ("Modify Parity"), CT1 ("Set CT")
  --value2 W           what it returns second: the stop bits 1/2 ("Modify Parity"),
                       CT2 ("Set CT")
  --time-data HEX      "Set Time": the 8 date and time bytes, BCD: second, minute,
                       hour, 01, day, month, year, 20
  --date MM/DD/YYYY    "Set Time": the date and time as typed into the date and
  --time HH:MM:SS      time dialog (instead of --time-data)
  --tariff-data HEX    "Set Tariff": the 30 schedule bytes, slot by slot: tariff
                       number, minute (BCD), hour (BCD)
  --tariff TEXT        "Set Tariff": the schedule as typed into the tariff dialog,
                       e.g. "T1 08:30, T2 12:00" (instead of --tariff-data)
  --bytes HEX          reply only: the reply bytes, at most 30
HEX is hex pairs, upper or lower case, with or without blanks between bytes.
Values go through the same checks as in the tool; a refused value prints the
tool's refusal message.

Exit status:
  0  frame printed, or reply accepted, or --help
  1  value refused (its message on standard error), or reply rejected
  2  usage error: unknown meter type or command, a command the meter type does
     not offer, a missing, doubled, unknown or malformed option

Meter types and their commands:
)";
    for (const auto meter : catalogue::MeterTypeNames) {
        text += "  " + std::string(meter) + ":";
        const auto list = catalogue::CommandsOf(meter);
        for (std::size_t i = 0; list && i < list->commands.size(); ++i)
            text += (i == 0 ? " " : ", ") + std::string(list->commands[i]);
        text += "\n";
    }
    return text;
}

} // namespace cli

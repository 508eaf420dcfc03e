#include "options.h"

#include "catalogue/catalogue.h"

namespace cli {

std::string HelpText()
{
    std::string sweepBauds;
    for (const int baud : catalogue::SweepBauds())
        sweepBauds += (sweepBauds.empty() ? "" : ",") + std::to_string(baud);

    std::string text = R"HELP(Usage:
  quorvane-cli frame --meter TYPE --command COMMAND --address N [value options]
  quorvane-cli reply --meter TYPE --command COMMAND --address N [value options] --bytes HEX
  quorvane-cli run --port PORT [line options] --meter TYPE --command COMMAND --address N
                   [value options] [--repeat N [--history]] [--json] [--trace] [--no-history]
  quorvane-cli scan --port PORT [--baud LIST] [--parity LIST] [--stop-bits LIST]
                    [--addresses RANGE] [--timeout MS] [--echo] [--first] [--json]
  quorvane-cli set --port PORT [line options] --meter TYPE --address N [--new-address M]
                   [--new-baud B] [--new-parity P --new-stop-bits S] [--force] [--json]
                   [--trace] [--no-history]
  quorvane-cli set --port PORT [line options] --plan FILE.csv [--force]
  quorvane-cli poll --port PORT [line options] (--meter TYPE --address N ...
                    | --meters TYPE@N,... | --from FILE) [--interval MS] [--guard MS]
                    [--count N | --duration S] [--json] [--csv FILE] [--history]
  quorvane-cli monitor --port PORT [--baud N] [--parity P] [--data-bits N]
                       [--stop-bits S] [--json] [--pcap FILE]
  quorvane-cli --help
  quorvane-cli --version

frame   prints the Modbus RTU request frame the tool sends for the operation:
        uppercase hex pairs separated by single blanks, then a line end.
reply   judges the reply bytes HEX as the tool does for that request and prints
        "accepted" and, on the next line, the detail text of its History.log
        entry, or "rejected".
run     carries the operation out on the line: the same checks and frame as the
        window, the reply judged as the window judges it, ended as soon as it
        is whole (its expected length with a right CRC), else at the Modbus
        silence of 3.5 characters (at least 20 ms where no UART paces the line:
        a pseudo-terminal or a gateway), else at the time-out. Prints the detail text
        of the History.log entry, "rejected: WHY" ("bad CRC", "wrong address 2",
        "exception 02 (Illegal Data Address)") or "timeout", and appends the
        window's History.log line to the window's History.log. After a
        time-out nothing is sent until the line has been quiet for --settle MS
        (the time-out unless given); what came late is thrown away and said.
        A reply that begins with the request itself is no answer: without
        --echo it is reported as "the line echoes the request; try --echo".
scan    finds the meters on the line: every address at every setting, most
        common settings first; a device is found when any whole frame with a
        right CRC comes back from the probed address, an exception included.
        Each found device is asked which energy read it answers and listed with
        the meter types it can be; an address is listed once, at the first
        settings it answers. An address where only bytes without a valid frame
        came (after a second probe with twice the time-out) is listed as such;
        where another address answered cleanly at those settings, or where the
        address answered after a garbled reply and a probe or two more came
        garbled again, the line adds "two devices suspected at address N:
        disconnect one, re-address the other, reconnect" (JSON: "suspect":
        "duplicate"). Garbled addresses are listed at the end of each settings'
        pass.
        Through a gateway the addresses are swept once, without settings.
set     changes a meter's address, baud rate or parity through the catalogue's
        commands (address first, then baud rate, then parity) and checks each
        change: after an address change the meter must answer at the new
        address and no longer at the old one; after a baud rate or parity
        change the tool switches its own line and the meter must answer there.
        Every value is checked before the first write, and a new address
        where something answers is refused unless --force. So is a meter
        whose own address answers garbled twice (two devices suspected there:
        the change would reach both).
        --plan runs the rows of a CSV file (RFC 4180: quoted fields, CRLF or
        LF) whose first line names the columns
        address,meter,new_address,new_baud,new_parity,new_stop_bits in any
        letter case (empty: unchanged; other columns are kept) one at a time,
        each from the given line settings, and writes FILE-result.csv beside
        it (FILE-result-N.csv when that exists): the plan's columns, outcome
        and detail, one row for every plan row. A plan whose rows would leave
        two meters at one address is refused before anything is sent.
monitor listens on a serial line and never writes to it (a gateway is not
        offered: it passes on only what answers its own requests). Each frame
        heard is printed with its time, the gap before it (ms), whether its
        CRC holds, and what it is: a request (slave, function, register,
        count, the catalogue commands and meter types it matches) or a reply
        (paired with the last request by slave and function; its energy
        where the catalogue knows the register, an exception's code).
        Frames end at the line's silence (3.5 characters; at least 20 ms on a
        pseudo-terminal); a request and its reply that come in one burst are
        told apart by their CRCs. Runs until Ctrl+C or SIGTERM, then prints a
        summary: frames, CRC errors, requests left unanswered.
poll    reads meters over and over with their type's Read Energy: every meter
        once a round, one exchange at a time on each line, all lines at the
        same time. Rounds begin every --interval MS (1000; 0: as fast as the
        line allows) on a fixed schedule from the start; a round that overruns
        its slot is followed at the next slot ahead. It runs --count N rounds,
        for --duration S seconds (no round begins later), or until Ctrl+C.
        Each reading is a line: time, port, address, outcome (answered,
        timeout, bad-crc, exception with its code and name, wrong-address with
        the address that answered, rejected with why), the energy in kWh, the
        response time in ms. At the end, and on Ctrl+C, a table per meter:
        sent, answered, time-outs, CRC errors, wrong-address replies, other
        rejections, loss %, response time min/mean/p95/max of the answered
        readings, first and last energy, exceptions by code; then one line a
        port. Meters come as --meter TYPE --address N pairs (repeatable),
        --meters "TYPE@N,TYPE@N", or --from FILE ("-": standard input): the
        JSON output of scan (the first of each device's meter_types) or a plan
        CSV (columns address, meter, optional port). A meter whose port is
        named goes to that --port line; any other is read on every line.

Options (OPTION VALUE or OPTION=VALUE):
  --meter TYPE         meter type, exactly as the meter type list shows it
  --command COMMAND    command, exactly as that type's command list shows it
  --address N          slave address of the request, 0..247 (set: 1..247)
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

Line options (run, scan, set, poll; monitor: all but --timeout, --echo, --settle):
  --port PORT          the serial device (or a link to it), or a gateway
                       rtu-tcp://HOST:PORT or modbus-tcp://HOST:PORT. Given more
                       than once (run, scan, set --plan, poll), the lines are
                       worked at the same time, each line's output begins with
                       its port, and the line options apply to every line; a
                       plan for several lines names each row's line in a column
                       port
  --baud N             9600 unless given (scan: a list, e.g. 9600,19200;
                       default )HELP" + sweepBauds + R"HELP()
  --parity P           none, odd, even, mark or space; none unless given (scan: a
                       list of none, even, odd)
  --data-bits N        5..8, 8 unless given
  --stop-bits S        1, 1.5 or 2; 1 unless given (scan: a list of 1, 2). Scan's
                       default pairs are the meters' own: none/1, even/1, odd/1,
                       none/2; with both --parity and --stop-bits every pair of
                       the two lists is tried
  --timeout MS         how long to wait for a reply once the request has left
                       the line; 1000 (scan: 50, a meter's turnaround)
  --echo               the adapter echoes what it sends (2-wire RS-485): the
                       request coming back first is skipped
  --settle MS          after a time-out, how long the line must be quiet before
                       the next request; the time-out unless given (scan: 0,
                       since each reply names its address)
  --guard MS           poll: the pause between one exchange's end and the next
                       request; the Modbus silence of 3.5 characters where a
                       UART paces the line, none on a pseudo-terminal or a
                       gateway, unless given
run: --repeat N polls N times, one line each; --json prints one JSON object per
operation (meter, command, address, outcome success/rejected/exception/timeout,
detail, request, reply, elapsed_ms, energy_kwh for reads); --trace prints each
frame with its time since the start and the gap since the previous frame;
--no-history writes nothing to History.log; with --repeat, reads are logged
only with --history. A log that has reached 1.5 MB is first kept as
History.log.1 (said on standard error).
scan: --addresses RANGE, e.g. 1-247 (the default) or 1,5,10-20; --first stops at
the first device found; --json prints an array of objects (address, baud,
parity, stop_bits, answered read/exception/garbled, suspect "duplicate" where
two devices seem to share the address, meter_types, energy_kwh). A
progress line goes to standard error when it is a terminal.
set: --new-address M, --new-baud B, --new-parity none/even/odd with
--new-stop-bits 1/2; every write appends its History.log line; --json prints
one object per step (meter, command, value, outcome, acknowledged, problem,
answers_at).
monitor: --json prints one object per frame (frame, time, gap_ms, crc, kind,
bytes, slave, function; a request's register, count and commands; a reply's
answers, exception, energy) and a last one with the summary; --pcap FILE
writes every frame to FILE as a libpcap capture (link type 147, DLT_USER0).
poll: --json prints one object per reading, flushed (time, port, address,
meter, outcome, detail, energy_kwh, response_ms), and the table on standard
error; --csv FILE writes a header and one row per reading with the same
columns, flushed each row; --history logs every reading in History.log.

Exit status:
  0  frame printed, reply accepted, operation succeeded (every poll), a meter
     found, every change verified, --help or --version
  1  value refused (its message on standard error), or reply rejected
  2  usage error: unknown meter type or command, a command the meter type does
     not offer, a missing, doubled, unknown or malformed option
  3  no reply (run, set), or no meter answered (scan)
  4  the port cannot be opened or written (its reason on standard error); poll:
     a line failed
  5  set: a change was acknowledged but could not be verified
  6  poll: some readings failed, but every meter answered at least once (3: a
     meter never answered)
  130 stopped by Ctrl+C or SIGTERM (141: the reader of the output went away);
     the port is closed and what was found or done so far is printed
     (monitor: its usual end; 4 also when --pcap cannot be written)

Meter types and their commands:
)HELP";
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

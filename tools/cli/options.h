#pragma once

#include "commissioning/operationchoice.h"
#include "commissioning/sweepplan.h"
#include "jobs/linesetup.h"
#include "engine/linesettings.h"
#include "engine/state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The command line of quorvane-cli, parsed and checked against the catalogue.
namespace cli {

// What a run does: print the help or the version, build a frame, judge a reply,
// or talk to meters on a line: one operation, a sweep of the bus, a change and
// its check, reading meters over and over; listen to a line without a word;
// or print the lists the shell's completion offers.
enum class Verb { Help, Frame, Reply, Run, Scan, Set, Poll, Version, CompletionLists, Monitor };

// The line the operations go out on.
using LineOptions = jobs::LineSetup;

// A meter that poll reads, and the line it is on (empty: every line given).
struct PolledMeter {
    std::string meter;
    std::uint8_t address = 0;
    std::string port;
    bool operator==(const PolledMeter &) const = default;
};


// The operation's own choices (meter, command, address, values) are its base.
struct Options : commissioning::OperationChoice {
    Verb verb = Verb::Help;
    std::optional<std::vector<std::uint8_t>> replyBytes;

    // run, scan, set
    LineOptions line;                // line.port: the first --port
    std::vector<std::string> ports;  // every --port, in the order given
    bool json = false;
    // run
    int repeat = 1;
    bool trace = false;
    bool noHistory = false;
    bool history = false; // every poll of --repeat in History.log too
    // scan
    std::vector<commissioning::SweepSetting> sweep; // the settings a scan tries, in order
    std::vector<std::uint8_t> addresses;
    bool first = false;
    // set
    std::optional<std::uint8_t> newAddress;
    std::optional<int> newBaud;
    std::optional<engine::Parity> newParity;
    std::optional<engine::StopBits> newStopBits;
    std::optional<std::string> plan;
    bool force = false; // write a new address even where something answers
    // monitor
    std::optional<std::string> pcap; // the capture file
    // poll
    std::vector<PolledMeter> polled;  // --meter/--address pairs, then --meters
    std::optional<std::string> from;  // a scan's JSON output or a plan CSV, "-" standard input
    int intervalMs = 1000;            // 0: as fast as the line allows
    std::optional<int> count;         // rounds
    std::optional<int> durationS;
    std::optional<std::string> csv;
};

inline constexpr int MaxRepeat = 100'000'000;

// Either the options or the one-line reason they are unusable.
struct ParsedArguments {
    std::optional<Options> options;
    std::string usageError;
};

// args without the program name.
ParsedArguments ParseArguments(const std::vector<std::string_view>& args);

// "Tarvik CT@1,Morel-K@7": meters as poll's --meters takes them; the reason when not.
std::string ParseMeterList(std::string_view text, std::vector<PolledMeter> &meters);

// "1-247", "1,5,10-20": addresses 1..247 in the order written, each once.
using commissioning::ParseAddressList;

std::string HelpText();

// What bash completion offers, one item a line: "action NAME", "option ACTION
// NAME value|flag", "meter TYPE", "command COMMAND". Printed for the completion
// script by the first argument --completion-lists, which the help leaves out.
std::string CompletionLists();

} // namespace cli

#include "options.h"

#include "catalogue/catalogue.h"
#include "codec/gatewayaddress.h"
#include "codec/hexcode.h"
#include "engine/addressrule.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace cli {

namespace {

using namespace catalogue::command;
using engine::BroadcastAddress;
using engine::HighestAddress;
using engine::LowestMeterAddress;
using engine::Parity;
using engine::StopBits;

// What an option sets.
enum class Key {
    Meter, Command, Address, Value, Value2, TimeData, TariffData, Date, Time, Tariff, Bytes,
    Port, Baud, Parity, DataBits, StopBits, Timeout, Echo, Json, Repeat, Trace, NoHistory,
    Addresses, First, NewAddress, NewBaud, NewParity, NewStopBits, Plan, History, Force, Settle, Pcap,
    Meters, From, Interval, Guard, Count, Duration, Csv,
};

constexpr unsigned bit(Verb v) { return 1u << static_cast<unsigned>(v); }
constexpr unsigned Offline = bit(Verb::Frame) | bit(Verb::Reply);
constexpr unsigned OnLine = bit(Verb::Run) | bit(Verb::Scan) | bit(Verb::Set) | bit(Verb::Poll);
constexpr unsigned Listens = bit(Verb::Monitor);

// An option as written on the command line, what it sets and where it applies.
struct OptionName {
    std::string_view name;
    Key key;
    unsigned verbs;
    bool flag = false; // takes no value
};

constexpr std::array<OptionName, 40> OptionNames{{
    {"--meter", Key::Meter, Offline | bit(Verb::Run) | bit(Verb::Set) | bit(Verb::Poll)},
    {"--command", Key::Command, Offline | bit(Verb::Run)},
    {"--address", Key::Address, Offline | bit(Verb::Run) | bit(Verb::Set) | bit(Verb::Poll)},
    {"--value", Key::Value, Offline | bit(Verb::Run)},
    {"--value2", Key::Value2, Offline | bit(Verb::Run)},
    {"--time-data", Key::TimeData, Offline | bit(Verb::Run)},
    {"--tariff-data", Key::TariffData, Offline | bit(Verb::Run)},
    {"--date", Key::Date, Offline | bit(Verb::Run)},
    {"--time", Key::Time, Offline | bit(Verb::Run)},
    {"--tariff", Key::Tariff, Offline | bit(Verb::Run)},
    {"--bytes", Key::Bytes, bit(Verb::Reply)},
    {"--port", Key::Port, OnLine | Listens},
    {"--baud", Key::Baud, OnLine | Listens},
    {"--parity", Key::Parity, OnLine | Listens},
    {"--data-bits", Key::DataBits, bit(Verb::Run) | bit(Verb::Set) | bit(Verb::Poll) | Listens},
    {"--stop-bits", Key::StopBits, OnLine | Listens},
    {"--timeout", Key::Timeout, OnLine},
    {"--echo", Key::Echo, OnLine, true},
    {"--json", Key::Json, OnLine | Listens, true},
    {"--repeat", Key::Repeat, bit(Verb::Run)},
    {"--trace", Key::Trace, bit(Verb::Run) | bit(Verb::Set), true},
    {"--no-history", Key::NoHistory, bit(Verb::Run) | bit(Verb::Set), true},
    {"--addresses", Key::Addresses, bit(Verb::Scan)},
    {"--first", Key::First, bit(Verb::Scan), true},
    {"--new-address", Key::NewAddress, bit(Verb::Set)},
    {"--new-baud", Key::NewBaud, bit(Verb::Set)},
    {"--new-parity", Key::NewParity, bit(Verb::Set)},
    {"--new-stop-bits", Key::NewStopBits, bit(Verb::Set)},
    {"--plan", Key::Plan, bit(Verb::Set)},
    {"--history", Key::History, bit(Verb::Run) | bit(Verb::Poll), true},
    {"--force", Key::Force, bit(Verb::Set), true},
    {"--settle", Key::Settle, OnLine},
    {"--pcap", Key::Pcap, Listens},
    {"--meters", Key::Meters, bit(Verb::Poll)},
    {"--from", Key::From, bit(Verb::Poll)},
    {"--interval", Key::Interval, bit(Verb::Poll)},
    {"--guard", Key::Guard, bit(Verb::Poll)},
    {"--count", Key::Count, bit(Verb::Poll)},
    {"--duration", Key::Duration, bit(Verb::Poll)},
    {"--csv", Key::Csv, bit(Verb::Poll)},
}};

constexpr std::array<std::pair<std::string_view, Verb>, 7> VerbNames{{
    {"frame", Verb::Frame}, {"reply", Verb::Reply}, {"run", Verb::Run}, {"scan", Verb::Scan}, {"set", Verb::Set},
    {"poll", Verb::Poll},
    {"monitor", Verb::Monitor},
}};

// Control characters would break the one-line usage message.
std::string quoted(std::string_view text)
{
    std::string out = "'";
    for (const char c : text)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return out + "'";
}

// Decimal digits only, within lo..hi.
std::optional<int> number(std::string_view text, int lo, int hi)
{
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < lo || value > hi)
        return std::nullopt;
    return value;
}

std::vector<std::string_view> commaList(std::string_view text)
{
    std::vector<std::string_view> items;
    std::size_t start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        items.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos)
            return items;
        start = comma + 1;
    }
}

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool isValueCommand(std::string_view command)
{
    return catalogue::CheckedValueCount(command) > 0;
}

bool needsSecondValue(std::string_view command)
{
    return catalogue::CheckedValueCount(command) == 2;
}

// Which of the value options the command takes, and whether each is there.
std::string checkCommandOptions(const Options& o)
{
    const auto notFor = [&](std::string_view option) {
        return "option " + std::string(option) + " does not apply to " + quoted(o.command);
    };
    if (o.value1 && !isValueCommand(o.command))
        return notFor("--value");
    if (o.value2 && !needsSecondValue(o.command))
        return notFor("--value2");
    if (o.command != SetTime && (o.timeData || o.date || o.time))
        return notFor(o.timeData ? "--time-data" : o.date ? "--date" : "--time");
    if (o.command != SetTariff && (o.tariffData || o.tariff))
        return notFor(o.tariffData ? "--tariff-data" : "--tariff");

    if (isValueCommand(o.command) && !o.value1)
        return quoted(o.command) + " needs --value";
    if (needsSecondValue(o.command) && !o.value2)
        return quoted(o.command) + " needs --value2";
    if (o.command == SetTime) {
        if (o.timeData && (o.date || o.time))
            return "give either --time-data or --date and --time, not both";
        if (!o.timeData && (!o.date || !o.time))
            return "'Set Time' needs --time-data, or --date and --time";
    }
    if (o.command == SetTariff) {
        if (o.tariffData && o.tariff)
            return "give either --tariff-data or --tariff, not both";
        if (!o.tariffData && !o.tariff)
            return "'Set Tariff' needs --tariff-data or --tariff";
    }
    if (o.verb == Verb::Reply && !o.replyBytes)
        return "'reply' needs --bytes";
    return {};
}

// Reads a hex option that must hold exactly count bytes; the reason when it does not.
std::string fixedHex(std::string_view name, std::string_view value, std::size_t count, std::vector<std::uint8_t>& out)
{
    const auto bytes = codec::ParseHexBytes(value);
    if (!bytes)
        return "option " + std::string(name) + ": bad hex " + quoted(value);
    if (bytes->size() != count)
        return "option " + std::string(name) + " needs " + std::to_string(count) + " bytes, got "
               + std::to_string(bytes->size());
    out = *bytes;
    return {};
}

using commissioning::SweepLists;

// Stores one option's value; the reason when the value is unusable.
std::string store(Options& o, SweepLists& sweep, Key key, std::string_view name, std::string_view value)
{
    const bool lists = o.verb == Verb::Scan;
    const auto bad = [&](std::string_view expected) {
        return "option " + std::string(name) + " needs " + std::string(expected) + ", not " + quoted(value);
    };
    std::vector<std::uint8_t> bytes;
    switch (key) {
    case Key::Meter: o.meter = value; return {};
    case Key::Command: o.command = value; return {};
    case Key::Address:
        // The window's address rule, for every action: 0 (broadcast) to 247.
        if (const auto a = number(value, BroadcastAddress, HighestAddress)) {
            o.address = static_cast<std::uint8_t>(*a);
            return {};
        }
        return o.verb == Verb::Set ? "--address must be a number 1..247, not " + quoted(value)
                                   : "--address must be a number 0..247, not " + quoted(value);
    case Key::Value: o.value1 = std::string(value); return {};
    case Key::Value2: o.value2 = std::string(value); return {};
    case Key::TimeData:
        if (auto problem = fixedHex(name, value, 8, bytes); !problem.empty())
            return problem;
        o.timeData.emplace();
        std::copy(bytes.begin(), bytes.end(), o.timeData->begin());
        return {};
    case Key::TariffData:
        if (auto problem = fixedHex(name, value, 30, bytes); !problem.empty())
            return problem;
        o.tariffData.emplace();
        for (std::size_t i = 0; i < bytes.size(); ++i) // slot by slot: tariff, minute, hour
            (*o.tariffData)[i / 3][i % 3] = bytes[i];
        return {};
    case Key::Date: o.date = std::string(value); return {};
    case Key::Time: o.time = std::string(value); return {};
    case Key::Tariff: o.tariff = std::string(value); return {};
    case Key::Bytes:
        if (const auto reply = codec::ParseHexBytes(value)) {
            o.replyBytes = *reply;
            return {};
        }
        return "option --bytes: bad hex " + quoted(value);
    case Key::Port:
        if (value.empty())
            return bad("a port");
        // A gateway's address that cannot be read is the operator's mistake, not a port that fails to open.
        if (const auto gateway = codec::ParseGatewayName(value); codec::IsGatewayName(value) && !gateway.address)
            return "option --port: " + codec::GatewayProblemText(gateway.problem);
        if (std::find(o.ports.begin(), o.ports.end(), value) != o.ports.end())
            return "option --port " + quoted(value) + " given twice";
        // Several lines are worked at the same time; the first is the line of one-line work.
        o.ports.emplace_back(value);
        if (o.line.port.empty())
            o.line.port = value;
        return {};
    case Key::Baud:
        for (const auto item : lists ? commaList(value) : std::vector<std::string_view>{value}) {
            const auto baud = number(item, 1, 10'000'000);
            if (!baud)
                return bad(lists ? "a comma-separated list of baud rates" : "a baud rate");
            sweep.bauds.push_back(*baud);
            o.line.settings.baud = *baud;
        }
        return {};
    case Key::Parity:
        for (const auto item : lists ? commaList(value) : std::vector<std::string_view>{value}) {
            const auto parity = engine::ParityFromWord(lowered(item));
            if (!parity || (lists && *parity != Parity::None && *parity != Parity::Even && *parity != Parity::Odd))
                return bad(lists ? "none, even or odd, comma-separated" : "none, odd, even, mark or space");
            sweep.parities.push_back(*parity);
            o.line.settings.parity = *parity;
        }
        return {};
    case Key::DataBits:
        if (const auto bits = number(value, 5, 8)) {
            o.line.settings.dataBits = *bits;
            return {};
        }
        return bad("5, 6, 7 or 8");
    case Key::StopBits:
        for (const auto item : lists ? commaList(value) : std::vector<std::string_view>{value}) {
            const auto stops = engine::StopBitsFromText(item);
            if (!stops || (lists && *stops == StopBits::OneAndHalf))
                return bad(lists ? "1 or 2, comma-separated" : "1, 1.5 or 2");
            sweep.stopBits.push_back(*stops);
            o.line.settings.stopBits = *stops;
        }
        return {};
    case Key::Timeout:
        if (const auto ms = number(value, 1, 60000)) {
            o.line.timeoutMs = *ms;
            return {};
        }
        return bad("milliseconds, 1..60000");
    case Key::Repeat:
        if (const auto n = number(value, 1, MaxRepeat)) {
            o.repeat = *n;
            return {};
        }
        return bad("a count of 1.." + std::to_string(MaxRepeat));
    case Key::Settle:
        if (const auto ms = number(value, 0, 60000)) {
            o.line.settleMs = *ms;
            return {};
        }
        return bad("milliseconds, 0..60000");
    case Key::Meters:
        if (auto problem = ParseMeterList(value, o.polled); !problem.empty())
            return "option --meters: " + problem;
        return {};
    case Key::From:
        if (value.empty())
            return bad("a file");
        o.from = std::string(value);
        return {};
    case Key::Interval:
        if (const auto ms = number(value, 0, 86'400'000)) {
            o.intervalMs = *ms;
            return {};
        }
        return bad("milliseconds, 0..86400000");
    case Key::Guard:
        if (const auto ms = number(value, 0, 60000)) {
            o.line.guardMs = *ms;
            return {};
        }
        return bad("milliseconds, 0..60000");
    case Key::Count:
        if (const auto n = number(value, 1, MaxRepeat)) {
            o.count = *n;
            return {};
        }
        return bad("a count of 1.." + std::to_string(MaxRepeat));
    case Key::Duration:
        if (const auto s = number(value, 1, 999'999'999)) {
            o.durationS = *s;
            return {};
        }
        return bad("seconds, 1 or more");
    case Key::Csv:
        if (value.empty())
            return bad("a file");
        o.csv = std::string(value);
        return {};
    case Key::Addresses:
        if (const auto list = ParseAddressList(value)) {
            o.addresses = *list;
            return {};
        }
        return bad("addresses 1..247 such as 1-247 or 1,5,10-20");
    case Key::NewAddress:
        if (const auto a = number(value, LowestMeterAddress, HighestAddress)) {
            o.newAddress = static_cast<std::uint8_t>(*a);
            return {};
        }
        return bad("an address 1..247");
    case Key::NewBaud:
        if (const auto baud = number(value, 1, 10'000'000)) {
            o.newBaud = *baud;
            return {};
        }
        return bad("a baud rate");
    case Key::NewParity:
        if (const auto parity = engine::ParityFromWord(lowered(value));
            parity && (*parity == Parity::None || *parity == Parity::Even || *parity == Parity::Odd)) {
            o.newParity = *parity;
            return {};
        }
        return bad("none, even or odd");
    case Key::NewStopBits:
        if (const auto stops = engine::StopBitsFromText(value); stops && *stops != StopBits::OneAndHalf) {
            o.newStopBits = *stops;
            return {};
        }
        return bad("1 or 2");
    case Key::Plan: o.plan = std::string(value); return {};
    case Key::Pcap:
        if (value.empty())
            return bad("a file name");
        o.pcap = std::string(value);
        return {};
    case Key::Echo: o.line.echo = true; return {};
    case Key::Json: o.json = true; return {};
    case Key::Trace: o.trace = true; return {};
    case Key::NoHistory: o.noHistory = true; return {};
    case Key::History: o.history = true; return {};
    case Key::Force: o.force = true; return {};
    case Key::First: o.first = true; return {};
    }
    return {};
}

bool seenKey(const std::vector<Key>& seen, Key key)
{
    return std::find(seen.begin(), seen.end(), key) != seen.end();
}

std::string checkOperation(Options& o, const std::vector<Key>& seen)
{
    if (!seenKey(seen, Key::Meter))
        return "missing --meter";
    if (!seenKey(seen, Key::Command))
        return "missing --command";
    if (!seenKey(seen, Key::Address))
        return "missing --address";
    if (!catalogue::IsMeterType(o.meter))
        return "unknown meter type " + quoted(o.meter);
    if (!catalogue::Offers(o.meter, o.command))
        return catalogue::CodeSlot(o.command) ? "meter type " + quoted(o.meter) + " does not offer " + quoted(o.command)
                                              : "unknown command " + quoted(o.command);
    return checkCommandOptions(o);
}

std::string checkChange(const Options& o, const std::vector<Key>& seen)
{
    if (o.plan) {
        if (seenKey(seen, Key::Meter) || seenKey(seen, Key::Address) || o.newAddress || o.newBaud || o.newParity || o.newStopBits)
            return "--plan takes the meters and their changes from the file; give no --meter, --address or --new-*";
        return {};
    }
    if (!seenKey(seen, Key::Meter))
        return "missing --meter";
    if (!seenKey(seen, Key::Address))
        return "missing --address";
    if (!catalogue::IsMeterType(o.meter))
        return "unknown meter type " + quoted(o.meter);
    if (o.address < LowestMeterAddress)
        return "--address must be a number 1..247, not '0'";
    if (!o.newAddress && !o.newBaud && !o.newParity && !o.newStopBits)
        return "'set' needs --new-address, --new-baud or --new-parity with --new-stop-bits";
    if (o.newParity.has_value() != o.newStopBits.has_value())
        return "--new-parity and --new-stop-bits go together";
    const auto offers = [&](std::string_view command) {
        return catalogue::Offers(o.meter, command) ? std::string() : "meter type " + quoted(o.meter) + " does not offer " + quoted(command);
    };
    if (o.newAddress)
        if (auto problem = offers(ModifyMeterAddress); !problem.empty())
            return problem;
    if (o.newBaud)
        if (auto problem = offers(ModifyBaudRate); !problem.empty())
            return problem;
    if (o.newParity)
        if (auto problem = offers(ModifyParity); !problem.empty())
            return problem;
    return {};
}

// The meters of poll: --meter and --address pairs in the order given, then --meters.
std::string checkPoll(Options &o, const std::vector<std::string> &types, const std::vector<std::uint8_t> &addresses)
{
    if (types.size() != addresses.size())
        return "give one --address for each --meter";
    std::vector<PolledMeter> pairs;
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (!catalogue::IsMeterType(types[i]))
            return "unknown meter type " + quoted(types[i]);
        if (addresses[i] < LowestMeterAddress)
            return "--address must be a number 1..247, not '0'";
        pairs.push_back({types[i], addresses[i], {}});
    }
    o.polled.insert(o.polled.begin(), pairs.begin(), pairs.end());
    if (o.polled.empty() && !o.from)
        return "'poll' needs meters: --meter TYPE --address N, --meters TYPE@N,... or --from FILE";
    for (std::size_t i = 0; i < o.polled.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (o.polled[i].address == o.polled[j].address)
                return "address " + std::to_string(o.polled[i].address) + " is given twice";
    return {};
}

} // namespace

std::string ParseMeterList(std::string_view text, std::vector<PolledMeter> &meters)
{
    for (const auto item : commaList(text)) {
        const auto at = item.rfind('@');
        if (at == std::string_view::npos)
            return "expected TYPE@ADDRESS, not " + quoted(item);
        const auto type = item.substr(0, at);
        if (!catalogue::IsMeterType(type))
            return "unknown meter type " + quoted(type);
        const auto address = number(item.substr(at + 1), LowestMeterAddress, HighestAddress);
        if (!address)
            return "the address of " + quoted(item) + " must be a number 1..247";
        meters.push_back({std::string(type), static_cast<std::uint8_t>(*address), {}});
    }
    return {};
}

ParsedArguments ParseArguments(const std::vector<std::string_view>& args)
{
    const auto usage = [](std::string reason) { return ParsedArguments{std::nullopt, std::move(reason)}; };

    // Help is asked for in an option's place; as an option's value, "-h" is a value.
    const auto isHelp = [](std::string_view arg) { return arg == "--help" || arg == "-h"; };
    if (!args.empty() && isHelp(args[0]))
        return {Options{}, {}};
    // As help in the first place: the version, or the lists for the completion script.
    if (!args.empty() && (args[0] == "--version" || args[0] == "--completion-lists")) {
        Options o;
        o.verb = args[0] == "--version" ? Verb::Version : Verb::CompletionLists;
        return {o, {}};
    }
    if (args.empty())
        return usage("no action given; expected 'frame', 'reply', 'run', 'scan', 'set', 'poll' or 'monitor'");

    Options o;
    const auto verb = std::find_if(VerbNames.begin(), VerbNames.end(), [&](const auto& v) { return v.first == args[0]; });
    if (verb == VerbNames.end())
        return usage("unknown action " + quoted(args[0]) + "; expected 'frame', 'reply', 'run', 'scan', 'set', 'poll' or 'monitor'");
    o.verb = verb->second;

    std::vector<Key> seen;
    SweepLists sweep;
    std::vector<std::string> pollTypes;
    std::vector<std::uint8_t> pollAddresses;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const auto arg = args[i];
        if (isHelp(arg))
            return {Options{}, {}};
        if (!arg.starts_with("--"))
            return usage("unexpected argument " + quoted(arg));
        const auto equals = arg.find('=');
        const auto name = arg.substr(0, equals);
        const auto known = std::find_if(OptionNames.begin(), OptionNames.end(),
                                        [&](const OptionName& n) { return n.name == name; });
        if (known == OptionNames.end())
            return usage("unknown option " + quoted(name));
        if (!(known->verbs & bit(o.verb)))
            return usage("option " + std::string(name) + " does not apply to '" + std::string(args[0]) + "'");
        // poll takes several meters as --meter and --address pairs.
        const bool repeatable = known->key == Key::Port
                                || (o.verb == Verb::Poll && (known->key == Key::Meter || known->key == Key::Address));
        if (seenKey(seen, known->key) && !repeatable)
            return usage("option " + std::string(name) + " given twice");
        seen.push_back(known->key);

        std::string_view value;
        if (known->flag) {
            if (equals != std::string_view::npos)
                return usage("option " + std::string(name) + " takes no value");
        } else if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else {
            if (i + 1 >= args.size() || args[i + 1].starts_with("--"))
                return usage("option " + std::string(name) + " needs a value");
            value = args[++i];
        }
        if (auto problem = store(o, sweep, known->key, name, value); !problem.empty())
            return usage(std::move(problem));
        if (known->key == Key::Meter)
            pollTypes.push_back(o.meter);
        if (known->key == Key::Address)
            pollAddresses.push_back(o.address);
    }

    if (o.verb != Verb::Frame && o.verb != Verb::Reply && o.line.port.empty())
        return usage("missing --port");
    if (o.history && o.noHistory)
        return usage("give either --history or --no-history, not both");
    std::string problem;
    switch (o.verb) {
    case Verb::Frame:
    case Verb::Reply:
    case Verb::Run:
        problem = checkOperation(o, seen);
        break;
    case Verb::Scan:
        o.sweep = commissioning::SweepSettings(sweep);
        if (o.sweep.empty())
            return usage("no parity and stop-bit pair of the meters fits --parity and --stop-bits");
        if (o.addresses.empty())
            for (int a = LowestMeterAddress; a <= HighestAddress; ++a)
                o.addresses.push_back(static_cast<std::uint8_t>(a));
        // A sweep waits only a meter's turnaround at each silent address.
        if (!seenKey(seen, Key::Timeout))
            o.line.timeoutMs = 50;
        break;
    case Verb::Set:
        problem = checkChange(o, seen);
        if (problem.empty() && o.ports.size() > 1 && !o.plan)
            problem = "'set' changes one meter on one line: give one --port, or a --plan with a port column";
        break;
    case Verb::Monitor:
        // Listening needs the line itself: a gateway hands on only what answers its own requests.
        if (codec::IsGatewayName(o.line.port))
            problem = "monitor listens on a serial line; a gateway is not offered";
        else if (o.ports.size() > 1)
            problem = "monitor listens on one line: give one --port";
        break;
    case Verb::Poll:
        problem = checkPoll(o, pollTypes, pollAddresses);
        break;
    case Verb::Help:
    case Verb::Version:
    case Verb::CompletionLists:
        break;
    }
    if (!problem.empty())
        return usage(std::move(problem));
    return {o, {}};
}

std::string CompletionLists()
{
    std::string text;
    for (const auto& [name, verb] : VerbNames)
        text += "action " + std::string(name) + "\n";
    for (const auto& [name, verb] : VerbNames)
        for (const auto& option : OptionNames)
            if (option.verbs & bit(verb))
                text += "option " + std::string(name) + " " + std::string(option.name) + (option.flag ? " flag\n" : " value\n");
    std::vector<std::string_view> commands;
    for (const auto meter : catalogue::MeterTypeNames) {
        text += "meter " + std::string(meter) + "\n";
        const auto list = catalogue::CommandsOf(meter);
        for (std::size_t i = 0; list && i < list->commands.size(); ++i)
            if (std::find(commands.begin(), commands.end(), list->commands[i]) == commands.end())
                commands.push_back(list->commands[i]);
    }
    for (const auto command : commands)
        text += "command " + std::string(command) + "\n";
    return text;
}

} // namespace cli

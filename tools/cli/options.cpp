#include "options.h"

#include "catalogue/catalogue.h"
#include "codec/hexcode.h"

#include <algorithm>
#include <array>

namespace cli {

namespace {

using namespace catalogue::command;

// What an option sets.
enum class Key { Meter, Command, Address, Value, Value2, TimeData, TariffData, Date, Time, Tariff, Bytes };

// An option as written on the command line, and what it sets.
struct OptionName {
    std::string_view name;
    Key key;
};

constexpr std::array<OptionName, 11> OptionNames{{
    {"--meter", Key::Meter},
    {"--command", Key::Command},
    {"--address", Key::Address},
    {"--value", Key::Value},
    {"--value2", Key::Value2},
    {"--time-data", Key::TimeData},
    {"--tariff-data", Key::TariffData},
    {"--date", Key::Date},
    {"--time", Key::Time},
    {"--tariff", Key::Tariff},
    {"--bytes", Key::Bytes},
}};

// Control characters would break the one-line usage message.
std::string quoted(std::string_view text)
{
    std::string out = "'";
    for (const char c : text)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return out + "'";
}

// Decimal digits only, 0..255.
std::optional<std::uint8_t> parseAddress(std::string_view text)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
        if (value > 255)
            return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
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
    if (o.verb == Verb::Frame && o.replyBytes)
        return "option --bytes applies to 'reply' only";

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

// Stores one option's value; the reason when the value is unusable.
std::string store(Options& o, Key key, std::string_view name, std::string_view value)
{
    std::vector<std::uint8_t> bytes;
    switch (key) {
    case Key::Meter:
        o.meter = value;
        return {};
    case Key::Command:
        o.command = value;
        return {};
    case Key::Address:
        if (const auto address = parseAddress(value)) {
            o.address = *address;
            return {};
        }
        return "--address must be a number 0..255, not " + quoted(value);
    case Key::Value:
        o.value1 = std::string(value);
        return {};
    case Key::Value2:
        o.value2 = std::string(value);
        return {};
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
    case Key::Date:
        o.date = std::string(value);
        return {};
    case Key::Time:
        o.time = std::string(value);
        return {};
    case Key::Tariff:
        o.tariff = std::string(value);
        return {};
    case Key::Bytes:
        if (const auto reply = codec::ParseHexBytes(value)) {
            o.replyBytes = *reply;
            return {};
        }
        return "option --bytes: bad hex " + quoted(value);
    }
    return {};
}

} // namespace

ParsedArguments ParseArguments(const std::vector<std::string_view>& args)
{
    const auto usage = [](std::string reason) { return ParsedArguments{std::nullopt, std::move(reason)}; };

    // Help is asked for in an option's place; as an option's value, "-h" is a value.
    const auto isHelp = [](std::string_view arg) { return arg == "--help" || arg == "-h"; };
    if (!args.empty() && isHelp(args[0]))
        return {Options{}, {}};
    if (args.empty())
        return usage("no action given; expected 'frame' or 'reply'");

    Options o;
    if (args[0] == "frame")
        o.verb = Verb::Frame;
    else if (args[0] == "reply")
        o.verb = Verb::Reply;
    else
        return usage("unknown action " + quoted(args[0]) + "; expected 'frame' or 'reply'");

    std::vector<Key> seen;
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
        if (std::find(seen.begin(), seen.end(), known->key) != seen.end())
            return usage("option " + std::string(name) + " given twice");
        seen.push_back(known->key);

        std::string_view value;
        if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else {
            if (i + 1 >= args.size() || args[i + 1].starts_with("--"))
                return usage("option " + std::string(name) + " needs a value");
            value = args[++i];
        }
        if (auto problem = store(o, known->key, name, value); !problem.empty())
            return usage(std::move(problem));
    }

    if (std::find(seen.begin(), seen.end(), Key::Meter) == seen.end())
        return usage("missing --meter");
    if (std::find(seen.begin(), seen.end(), Key::Command) == seen.end())
        return usage("missing --command");
    if (std::find(seen.begin(), seen.end(), Key::Address) == seen.end())
        return usage("missing --address");
    if (!catalogue::IsMeterType(o.meter))
        return usage("unknown meter type " + quoted(o.meter));
    if (!catalogue::Offers(o.meter, o.command))
        return usage(catalogue::CodeSlot(o.command) ? "meter type " + quoted(o.meter) + " does not offer "
                                                          + quoted(o.command)
                                                    : "unknown command " + quoted(o.command));
    if (auto problem = checkCommandOptions(o); !problem.empty())
        return usage(std::move(problem));
    return {o, {}};
}

} // namespace cli

#pragma once

#include "engine/state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The command line of quorvane-cli, parsed and checked against the catalogue.
namespace cli {

// What a run does: print the help, build a frame or judge a reply.
enum class Verb { Help, Frame, Reply };

// One run's choices, as the operator would make them in the main window and the dialogs.
struct Options {
    Verb verb = Verb::Help;
    std::string meter;
    std::string command;
    std::uint8_t address = 0;
    std::optional<std::string> value1; // DialogValue1
    std::optional<std::string> value2; // DialogValue2
    std::optional<engine::TimeBytes> timeData;
    std::optional<engine::TariffBytes> tariffData;
    std::optional<std::string> date;
    std::optional<std::string> time;
    std::optional<std::string> tariff;
    std::optional<std::vector<std::uint8_t>> replyBytes;
};

// Either the options or the one-line reason they are unusable.
struct ParsedArguments {
    std::optional<Options> options;
    std::string usageError;
};

// args without the program name.
ParsedArguments ParseArguments(const std::vector<std::string_view>& args);

std::string HelpText();

} // namespace cli

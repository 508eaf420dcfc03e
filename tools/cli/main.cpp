#include "commands.h"
#include "options.h"

#include <iostream>
#include <string_view>
#include <vector>

// quorvane-cli: the request frame of an operation, or the verdict on a reply,
// computed by the same core as the tool.
int main(int argc, char* argv[])
{
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const auto parsed = cli::ParseArguments(args);
    if (!parsed.options) {
        std::cerr << "quorvane-cli: " << parsed.usageError << " (see quorvane-cli --help)\n";
        return 2;
    }
    switch (parsed.options->verb) {
    case cli::Verb::Help:
        std::cout << cli::HelpText();
        return 0;
    case cli::Verb::Frame:
        return cli::RunFrame(*parsed.options, std::cout, std::cerr);
    case cli::Verb::Reply:
        return cli::RunReply(*parsed.options, std::cout, std::cerr);
    }
    return 2;
}

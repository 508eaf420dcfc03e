#include "commands.h"
#include "exitstatus.h"
#include "interrupt.h"
#include "options.h"
#include "version.h"

#include <QCoreApplication>

#include <iostream>
#include <string_view>
#include <vector>

// quorvane-cli: the request frame of an operation, the verdict on a reply, or
// operations on a real line (one, a bus sweep, a change and its check), all
// computed by the same core as the tool.
int main(int argc, char* argv[])
{
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const auto parsed = cli::ParseArguments(args);
    if (!parsed.options) {
        std::cerr << "quorvane-cli: " << parsed.usageError << " (see quorvane-cli --help)\n";
        return cli::status::Usage;
    }
    switch (parsed.options->verb) {
    case cli::Verb::Help:
        std::cout << cli::HelpText();
        return 0;
    case cli::Verb::Version:
        std::cout << "quorvane-cli " << QuorvaneVersion << "\n";
        return 0;
    case cli::Verb::CompletionLists:
        std::cout << cli::CompletionLists();
        return 0;
    case cli::Verb::Frame:
        return cli::RunFrame(*parsed.options, std::cout, std::cerr);
    case cli::Verb::Reply:
        return cli::RunReply(*parsed.options, std::cout, std::cerr);
    case cli::Verb::Run:
    case cli::Verb::Scan:
    case cli::Verb::Set:
    case cli::Verb::Monitor:
    case cli::Verb::Poll:
        break;
    }
    // On a line: Qt's event loop carries the port's events; History.log is the window's.
    // Qt's own Unix event loop, not GLib's: its timers wake to the microsecond,
    // which a sweep of silent addresses, one time-out each, adds up.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
    const cli::Interruption interruption;
    const auto &options = *parsed.options;
    if (options.verb == cli::Verb::Monitor)
        return cli::RunMonitor(options, std::cout, std::cerr);
    auto work = options.verb == cli::Verb::Run    ? cli::RunOnLine(options, std::cout, std::cerr)
                : options.verb == cli::Verb::Scan ? cli::RunScan(options, std::cout, std::cerr)
                : options.verb == cli::Verb::Poll ? cli::RunPoll(options, std::cout, std::cerr)
                                                  : cli::RunSet(options, std::cout, std::cerr);
    // The work runs on the event loop, which ends with it.
    int status = -1;
    bool done = false;
    [](lineclient::Task<int> task, int &status, bool &done) -> lineclient::Detached {
        status = co_await std::move(task);
        done = true;
        QCoreApplication::quit();
    }(std::move(work), status, done);
    if (!done)
        app.exec();
    return status;
}

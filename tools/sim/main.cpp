// quorvane-sim: meters of the family on a serial line, for trying and testing
// the tool without hardware.

#include "catalogue/catalogue.h"
#include "faults.h"
#include "simline.h"
#include "simlog.h"
#include "simmeter.h"
#include "simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <filesystem>

namespace {

struct Options {
    std::string device;
    std::string link;
    std::string logFile;
    std::vector<std::pair<std::string, int>> meters;
    sim::EnergyValues energy;
    sim::LineSettings line;
    sim::FaultPlan faults;
};

constexpr int UsageError = 2;

std::string typeList()
{
    std::string text;
    for (const auto name : catalogue::MeterTypeNames)
        text += std::string(text.empty() ? "" : ", ") + "\"" + std::string(name) + "\"";
    return text;
}

// Reads the command line; exits on --help and on errors.
Options parseCommandLine(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("quorvane-sim");

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromStdString(
        "Simulates meters of the family as Modbus RTU slaves on a serial line.\n"
        "Opens a pseudo-terminal and prints \"port: PATH\" as the first line of its output\n"
        "(or serves --device), then answers until SIGINT/SIGTERM.\n\n"
        "Meter types: " + typeList() + ".\n\n"
        "Fault modes (--fault, repeatable or comma-separated):\n"
        "  silent            carry the request out but send no reply\n"
        "  bad-crc           reply with a wrong CRC\n"
        "  exception[:CODE]  exception reply (default code 4) instead of carrying it out\n"
        "  split:N:GAPMS     the reply in N chunks, GAPMS milliseconds apart\n"
        "  late:MS           the reply starts MS milliseconds after the request\n"
        "  garbage:N         N junk bytes right after a correct reply\n"
        "  chatter[:N]       after the reply keep sending junk: N bytes, or for 500 ms\n"
        "  once              the faults apply to the first request only"));
    parser.addHelpOption();
    parser.addOptions({
        {"device", "Serve this serial device instead of a new pseudo-terminal.", "PATH"},
        {"link", "Make PATH a symbolic link to the port (removed on exit).", "PATH"},
        {"meter", "A meter on the line, e.g. \"Tarvik CT@1\" (repeatable; default \"Tarvik CT@1\").",
         "TYPE@ADDRESS"},
        {"energy", "Total energy of every meter (default 1234.5677).", "KWH"},
        {"import", "Import energy (default 100.25).", "KWH"},
        {"export", "Export energy (default 7.5).", "KWH"},
        {"baud", "Line speed at start (default 9600).", "N"},
        {"parity", "Parity at start: none, even or odd (default none).", "P"},
        {"stop-bits", "Stop bits at start: 1 or 2 (default 1).", "N"},
        {"fault", "Misbehave as MODE (see above).", "MODE"},
        {"log", "Append the log to FILE instead of writing it to stderr.", "FILE"},
    });

    auto fail = [](const std::string& message) {
        std::fprintf(stderr, "quorvane-sim: %s\n", message.c_str());
        std::exit(UsageError);
    };
    if (!parser.parse(QCoreApplication::arguments()))
        fail(parser.errorText().toStdString());
    if (parser.isSet("help"))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty())
        fail("unexpected argument " + parser.positionalArguments().first().toStdString());

    Options options;
    options.device = parser.value("device").toStdString();
    options.link = parser.value("link").toStdString();
    options.logFile = parser.value("log").toStdString();

    auto meterOptions = parser.values("meter");
    if (meterOptions.isEmpty())
        meterOptions << "Tarvik CT@1";
    for (const auto& option : meterOptions) {
        const auto at = option.lastIndexOf('@');
        bool ok = false;
        const int address = at < 0 ? 0 : option.mid(at + 1).toInt(&ok);
        const auto type = option.left(at).toStdString();
        if (at < 0 || !ok || address < 1 || address > 247)
            fail("--meter \"" + option.toStdString() + "\": expected TYPE@ADDRESS with an address 1..247");
        if (!catalogue::IsMeterType(type))
            fail("--meter \"" + option.toStdString() + "\": unknown meter type; known: " + typeList());
        for (const auto& [otherType, otherAddress] : options.meters)
            if (otherAddress == address)
                fail("--meter \"" + option.toStdString() + "\": address " + std::to_string(address) + " already taken");
        options.meters.emplace_back(type, address);
    }

    auto energy = [&](const char* name, double& target) {
        if (!parser.isSet(name))
            return;
        bool ok = false;
        target = parser.value(name).toDouble(&ok);
        if (!ok || target < 0)
            fail(std::string("--") + name + ": expected a number of kWh, 0 or more");
    };
    energy("energy", options.energy.total);
    energy("import", options.energy.importEnergy);
    energy("export", options.energy.exportEnergy);

    if (parser.isSet("baud")) {
        bool ok = false;
        options.line.baud = parser.value("baud").toInt(&ok);
        if (!ok || !sim::IsSupportedBaud(options.line.baud))
            fail("--baud: one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200");
    }
    if (parser.isSet("parity")) {
        const auto parity = engine::ParityFromWord(parser.value("parity").toStdString());
        if (!parity || (*parity != engine::Parity::None && *parity != engine::Parity::Even && *parity != engine::Parity::Odd))
            fail("--parity: none, even or odd");
        options.line.parity = *parity;
    }
    if (parser.isSet("stop-bits")) {
        const auto stopBits = engine::StopBitsFromText(parser.value("stop-bits").toStdString());
        if (!stopBits || *stopBits == engine::StopBits::OneAndHalf)
            fail("--stop-bits: 1 or 2");
        options.line.stopBits = *stopBits;
    }

    std::vector<std::string> faultSpecs;
    for (const auto& option : parser.values("fault"))
        faultSpecs.push_back(option.toStdString());
    std::string error;
    const auto faults = sim::ParseFaults(faultSpecs, error);
    if (!faults)
        fail(error);
    options.faults = *faults;
    return options;
}

// A symbolic link to the port; an old link in the way is replaced, anything else is not.
bool makeLink(const std::string& link, const std::string& target, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(link, ec)))
        fs::remove(link, ec);
    else if (fs::exists(fs::symlink_status(link, ec))) {
        error = link + " exists and is not a symbolic link";
        return false;
    }
    fs::create_symlink(target, link, ec);
    if (ec) {
        error = "cannot link " + link + ": " + ec.message();
        return false;
    }
    return true;
}

void removeLink(const std::string& link, const std::string& target)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(link, ec)) && fs::read_symlink(link, ec) == target)
        fs::remove(link, ec);
}

} // namespace

int main(int argc, char** argv)
{
    const auto options = parseCommandLine(argc, argv);
    // From here a stop signal ends the run cleanly, however early it comes.
    sim::InstallStopSignals();

    sim::SimLog log;
    std::string error;
    if (!options.logFile.empty() && !log.openFile(options.logFile, error)) {
        std::fprintf(stderr, "quorvane-sim: %s\n", error.c_str());
        return 1;
    }

    std::vector<sim::SimMeter> meters;
    for (const auto& [type, address] : options.meters) {
        auto meter = sim::SimMeter::Create(type, static_cast<std::uint8_t>(address), options.energy, options.line, error);
        if (!meter) {
            std::fprintf(stderr, "quorvane-sim: %s\n", error.c_str());
            return UsageError;
        }
        meters.push_back(std::move(*meter));
    }

    auto line = options.device.empty() ? sim::SimLine::OpenPseudoTerminal(error)
                                       : sim::SimLine::OpenDevice(options.device, error);
    if (!line || !line->apply(options.line, error)) {
        std::fprintf(stderr, "quorvane-sim: %s\n", error.c_str());
        return 1;
    }
    if (!options.link.empty() && !makeLink(options.link, line->portPath(), error)) {
        std::fprintf(stderr, "quorvane-sim: %s\n", error.c_str());
        return 1;
    }

    std::printf("port: %s\n", line->portPath().c_str());
    if (!options.link.empty())
        std::printf("link: %s\n", options.link.c_str());
    std::fflush(stdout);

    sim::Simulator simulator(*line, std::move(meters), options.faults, options.line, log);
    const int status = simulator.run();
    if (!options.link.empty())
        removeLink(options.link, line->portPath());
    return status;
}

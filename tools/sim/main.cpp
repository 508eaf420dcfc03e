// quorvane-sim: meters of the family on a serial line or behind a TCP
// gateway, for trying and testing the tool without hardware.

#include "catalogue/catalogue.h"
#include "codec/gatewayaddress.h"
#include "faults.h"
#include "simline.h"
#include "simlog.h"
#include "simmeter.h"
#include "simtcp.h"
#include "simulator.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <filesystem>

namespace {

struct MeterOption {
    std::string type;
    int address = 0;
    sim::LineSettings line;
};

struct Options {
    std::string device;
    std::string link;
    std::string tap;
    std::uint32_t seed = 1;
    std::optional<codec::GatewayAddress> listen;
    std::string logFile;
    std::vector<MeterOption> meters;
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

constexpr const char* BaudList = "1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200";

std::optional<int> baudFromText(const std::string& text)
{
    bool ok = false;
    const int baud = QString::fromStdString(text).toInt(&ok);
    return ok && sim::IsSupportedBaud(baud) ? std::optional(baud) : std::nullopt;
}

std::optional<sim::Parity> parityFromText(const std::string& text)
{
    const auto parity = engine::ParityFromWord(text);
    if (parity == sim::Parity::None || parity == sim::Parity::Even || parity == sim::Parity::Odd)
        return parity;
    return std::nullopt;
}

std::optional<sim::StopBits> stopBitsFromText(const std::string& text)
{
    const auto stopBits = engine::StopBitsFromText(text);
    return stopBits == sim::StopBits::OneAndHalf ? std::nullopt : stopBits;
}

// TYPE@ADDRESS[,BAUD[,PARITY[,STOPBITS]]]; what is left out is the line's.
std::optional<MeterOption> parseMeter(const QString& text, const sim::LineSettings& line, std::string& problem)
{
    const auto at = text.indexOf('@');
    if (at < 0) {
        problem = "expected TYPE@ADDRESS[,BAUD[,PARITY[,STOPBITS]]]";
        return std::nullopt;
    }
    MeterOption meter{text.left(at).toStdString(), 0, line};
    const auto fields = text.mid(at + 1).split(',');
    bool ok = false;
    meter.address = fields[0].toInt(&ok);
    const auto baud = fields.size() > 1 ? baudFromText(fields[1].toStdString()) : line.baud;
    const auto parity = fields.size() > 2 ? parityFromText(fields[2].toStdString()) : line.parity;
    const auto stopBits = fields.size() > 3 ? stopBitsFromText(fields[3].toStdString()) : line.stopBits;
    if (!ok || meter.address < 1 || meter.address > 247)
        problem = "expected an address 1..247 after the @";
    else if (!catalogue::IsMeterType(meter.type))
        problem = "unknown meter type; known: " + typeList();
    else if (fields.size() > 4)
        problem = "at most a baud rate, a parity and stop bits after the address";
    else if (!baud)
        problem = std::string("the baud rate must be ") + BaudList;
    else if (!parity)
        problem = "the parity must be none, even or odd";
    else if (!stopBits)
        problem = "the stop bits must be 1 or 2";
    if (!problem.empty())
        return std::nullopt;
    meter.line.baud = *baud;
    meter.line.parity = *parity;
    meter.line.stopBits = *stopBits;
    return meter;
}

// Reads the command line; exits on --help and on errors.
Options parseCommandLine(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("quorvane-sim");
    QCoreApplication::setApplicationVersion(QuorvaneVersion);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromStdString(
        "Simulates meters of the family as Modbus RTU slaves on a serial line, or behind a gateway on TCP.\n"
        "Opens a pseudo-terminal and prints \"port: PATH\" as the first line of its output (or serves\n"
        "--device, or listens with --listen and prints \"port: rtu-tcp://HOST:PORT\"), then answers\n"
        "until SIGINT/SIGTERM.\n\n"
        "Meter types: " + typeList() + ".\n\n"
        "A meter answers only requests sent at its own line settings (--meter TYPE@ADDRESS,BAUD,...;\n"
        "those not given are --baud, --parity and --stop-bits) and paces its reply at them:\n"
        "  pseudo-terminal  both ends share one set of settings, so the baud rate and stop bits the\n"
        "                   tool sets are seen and matched; parity is not: a pty keeps none\n"
        "  --device         the device is set to --baud, --parity and --stop-bits and hears only\n"
        "                   those; meters set otherwise stay silent\n"
        "  --listen         every meter answers whatever it is addressed with (a gateway's serial\n"
        "                   line is its own business), and replies go at once, unpaced\n"
        "A new baud rate or parity written to a meter counts for that meter alone, once its reply\n"
        "has left.\n\n"
        "Fault modes (--fault, repeatable or comma-separated):\n"
        "  silent            carry the request out but send no reply\n"
        "  bad-crc           reply with a wrong CRC\n"
        "  exception[:CODE]  exception reply (default code 4) instead of carrying it out\n"
        "  split:N:GAPMS     the reply in N chunks (TCP segments), GAPMS milliseconds apart\n"
        "  late:MS           the reply starts MS milliseconds after the request\n"
        "  garbage:N         N junk bytes right after a correct reply\n"
        "  chatter[:N]       after the reply keep sending junk: N bytes, or for 500 ms\n"
        "  echo              every request comes back before its reply, as a 2-wire RS-485\n"
        "                    adapter gives it (with silent: only the echo)\n"
        "  keep-settings     a new address, baud rate or parity is acknowledged but not taken,\n"
        "                    as by a meter that takes them only at its next restart\n"
        "  once              the faults apply to the first request only (keep-settings: to the\n"
        "                    first that changes a setting)\n"
        "All apply on a serial line. TCP has no echo; modbus-tcp has no CRC and no room for\n"
        "junk between its frames, so bad-crc, garbage and chatter are for rtu-tcp only.\n\n"
        "Meters at one address all answer a request to it, at once, as on a real bus: their\n"
        "replies overlap on the line, each later one 1 to 3 characters behind the first (as\n"
        "--seed decides), and where they overlap the bytes are AND-combined (a driven 0 wins).\n"
        "The garbled bytes never pass the CRC; behind a modbus-tcp gateway nothing comes back.\n"
        "The faults are kept for a lone reply.\n\n"
        "--tap PATH makes a further pseudo-terminal, links PATH to it and prints \"tap: PATH\"\n"
        "after the port: it carries both directions of the serial line, requests as they are\n"
        "heard and replies as they are sent, as a third adapter on the bus hears them (not an\n"
        "adapter's own echo). What is written to it is thrown away; what its reader does not\n"
        "take in time is lost."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"device", "Serve this serial device instead of a new pseudo-terminal.", "PATH"},
        {"listen",
         "Serve the meters on TCP instead, as a gateway would: rtu-tcp://HOST:PORT carries RTU frames "
         "as they are, modbus-tcp://HOST:PORT Modbus TCP frames whose unit id is the meter address. "
         "HOST is an IPv4 address, an IPv6 address in brackets ([::1]) or a host name; port 0 picks a free one. One client at a time: a new one replaces it.",
         "URL"},
        {"link", "Make PATH a symbolic link to the port (removed on exit).", "PATH"},
        {"tap", "Make PATH a symbolic link to a listen-only copy of the line (see above; removed on exit).", "PATH"},
        {"seed", "How colliding replies overlap: the same seed, the same garble (default 1).", "N"},
        {"meter",
         "A meter as TYPE@ADDRESS[,BAUD[,PARITY[,STOPBITS]]], e.g. \"Tarvik CT@1\" or "
         "\"Morel-K@17,19200,even,1\": its own line settings follow the address (repeatable; "
         "default \"Tarvik CT@1\").",
         "METER"},
        {"energy", "Total energy of every meter (default 1234.5677).", "KWH"},
        {"import", "Import energy (default 100.25).", "KWH"},
        {"export", "Export energy (default 7.5).", "KWH"},
        {"baud", "Line speed, and that of every meter not given its own (default 9600).", "N"},
        {"parity", "Parity: none, even or odd, as --baud (default none).", "P"},
        {"stop-bits", "Stop bits: 1 or 2, as --baud (default 1).", "N"},
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
    if (parser.isSet("version"))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        fail("unexpected argument " + parser.positionalArguments().first().toStdString());

    Options options;
    options.device = parser.value("device").toStdString();
    options.link = parser.value("link").toStdString();
    options.tap = parser.value("tap").toStdString();
    if (parser.isSet("seed")) {
        bool ok = false;
        options.seed = parser.value("seed").toUInt(&ok);
        if (!ok)
            fail("--seed: expected a number 0..4294967295");
    }
    options.logFile = parser.value("log").toStdString();

    // The line's settings first: they are every meter's unless it has its own.
    if (parser.isSet("baud")) {
        const auto baud = baudFromText(parser.value("baud").toStdString());
        if (!baud)
            fail(std::string("--baud: ") + BaudList);
        options.line.baud = *baud;
    }
    if (parser.isSet("parity")) {
        const auto parity = parityFromText(parser.value("parity").toStdString());
        if (!parity)
            fail("--parity: none, even or odd");
        options.line.parity = *parity;
    }
    if (parser.isSet("stop-bits")) {
        const auto stopBits = stopBitsFromText(parser.value("stop-bits").toStdString());
        if (!stopBits)
            fail("--stop-bits: 1 or 2");
        options.line.stopBits = *stopBits;
    }

    auto meterOptions = parser.values("meter");
    if (meterOptions.isEmpty())
        meterOptions << "Tarvik CT@1";
    for (const auto& option : meterOptions) {
        const auto quoted = "--meter \"" + option.toStdString() + "\": ";
        std::string problem;
        const auto meter = parseMeter(option, options.line, problem);
        if (!meter)
            fail(quoted + problem);
        options.meters.push_back(*meter);
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

    std::vector<std::string> faultSpecs;
    for (const auto& option : parser.values("fault"))
        faultSpecs.push_back(option.toStdString());
    std::string error;
    const auto faults = sim::ParseFaults(faultSpecs, error);
    if (!faults)
        fail(error);
    options.faults = *faults;

    if (parser.isSet("listen")) {
        if (parser.isSet("device") || parser.isSet("link") || parser.isSet("tap"))
            fail("--listen serves TCP: no --device, --link or --tap with it");
        const auto parsed = codec::ParseGatewayName(parser.value("listen").toStdString(), codec::GatewayEnd::Listener);
        if (!parsed.address)
            fail("--listen: " + codec::GatewayProblemText(parsed.problem, codec::GatewayEnd::Listener));
        options.listen = parsed.address;
    }
    const auto unusable = options.faults.unusableOn(options.listen ? options.listen->framing : sim::GatewayFraming::Rtu,
                                                    options.listen.has_value());
    if (!unusable.empty())
        fail("--fault: " + unusable);
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
    for (const auto& option : options.meters) {
        auto meter = sim::SimMeter::Create(option.type, static_cast<std::uint8_t>(option.address), options.energy,
                                           option.line, error);
        if (!meter) {
            std::fprintf(stderr, "quorvane-sim: %s\n", error.c_str());
            return UsageError;
        }
        meters.push_back(std::move(*meter));
    }

    std::unique_ptr<sim::SimLink> link;
    std::string tapTarget; // the tap's pseudo-terminal
    int failed = 1;
    if (options.listen) {
        auto failure = sim::SimTcpListener::Failure::System;
        link = sim::SimTcpListener::Open(*options.listen, error, failure);
        // A host this machine cannot listen on is a wrong --listen, as a malformed one is.
        if (!link && failure == sim::SimTcpListener::Failure::Address) {
            error = "--listen: " + error;
            failed = UsageError;
        }
    } else {
        auto line = options.device.empty() ? sim::SimLine::OpenPseudoTerminal(error)
                                           : sim::SimLine::OpenDevice(options.device, error);
        if (line && line->apply(options.line, error) && (options.tap.empty() || line->openTap(error))) {
            tapTarget = line->tapText();
            link = std::move(line);
        }
    }
    if (!link) {
        std::fprintf(stderr, "quorvane-sim: %s\n", error.c_str());
        return failed;
    }
    if ((!options.link.empty() && !makeLink(options.link, link->portText(), error))
        || (!options.tap.empty() && !makeLink(options.tap, tapTarget, error))) {
        std::fprintf(stderr, "quorvane-sim: %s\n", error.c_str());
        if (!options.link.empty())
            removeLink(options.link, link->portText());
        return 1;
    }

    std::printf("port: %s\n", link->portText().c_str());
    if (!options.link.empty())
        std::printf("link: %s\n", options.link.c_str());
    if (!options.tap.empty())
        std::printf("tap: %s\n", options.tap.c_str());
    std::fflush(stdout);

    sim::Simulator simulator(*link, options.listen ? options.listen->framing : sim::GatewayFraming::Rtu, std::move(meters),
                             options.faults, options.line, log, options.seed);
    const int status = simulator.run();
    if (!options.link.empty())
        removeLink(options.link, link->portText());
    if (!options.tap.empty())
        removeLink(options.tap, tapTarget);
    return status;
}

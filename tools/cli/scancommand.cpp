#include "commands.h"
#include "linesession.h"
#include "output.h"
#include "probe.h"

#include "engine/replyend.h"

#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

struct Found {
    std::uint8_t address;
    Framing framing;
    bool answersRead;
    std::vector<std::pair<std::string, std::string>> types;
};

engine::LineSettings settingsOf(const LineOptions &line, const Framing &f)
{
    engine::LineSettings s = line.settings;
    s.baud = f.baud;
    s.parity = f.parity;
    s.stopBits = f.stopBits;
    return s;
}

// "Tarvik CT, Tarvik DC (1234.5677 kWh); Morel-K (120.5 kWh)": types that read alike together.
std::string typesText(const Found &found)
{
    std::string text;
    for (std::size_t i = 0; i < found.types.size(); ++i) {
        const auto &[type, energy] = found.types[i];
        text += type;
        const bool last = i + 1 == found.types.size() || found.types[i + 1].second != energy;
        if (!last) {
            text += ", ";
        } else {
            if (!energy.empty())
                text += " (" + energy + " kWh)";
            if (i + 1 < found.types.size())
                text += "; ";
        }
    }
    return text;
}

std::string lineOf(const Found &f, const engine::LineSettings &s)
{
    return "address " + std::to_string(f.address) + " at " + engine::ShortText(s) + ": answered "
           + (f.answersRead ? "a read" : "with exceptions only") + "; can be " + typesText(f);
}

std::string jsonOf(const Found &f)
{
    std::string types, energies;
    for (const auto &[type, energy] : f.types) {
        types += (types.empty() ? "" : ", ") + JsonString(type);
        if (!energy.empty())
            energies += (energies.empty() ? "" : ", ") + JsonString(type) + ": " + energy;
    }
    return "{\"address\": " + std::to_string(f.address) + ", \"baud\": " + std::to_string(f.framing.baud)
           + ", \"parity\": " + JsonString(engine::ParityWord(f.framing.parity)) + ", \"stop_bits\": "
           + std::string(engine::StopBitsText(f.framing.stopBits)) + ", \"answered\": "
           + JsonString(f.answersRead ? "read" : "exception") + ", \"meter_types\": [" + types
           + "], \"energy_kwh\": {" + energies + "}}";
}

} // namespace

int RunScan(const Options &options, std::ostream &out, std::ostream &err)
{
    LineOptions line = options.line;
    line.settings = settingsOf(options.line, options.framings.front());
    std::string reason;
    const auto session = LineSession::Open(line, reason);
    if (!session) {
        err << reason << "\n";
        return 4;
    }
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    const auto timeout = std::chrono::milliseconds(options.line.timeoutMs);
    std::vector<Found> found;
    std::vector<std::uint8_t> answered; // each address is listed once, at the first settings it answers
    const std::size_t total = options.framings.size() * options.addresses.size();
    std::size_t done = 0;
    bool stop = false;
    for (const auto &framing : options.framings) {
        const auto settings = settingsOf(options.line, framing);
        if (!session->setSettings(settings, reason)) {
            err << reason << "\n";
            done += options.addresses.size();
            continue;
        }
        const auto probeCost = timeout + std::chrono::duration_cast<std::chrono::milliseconds>(
                                             engine::LineTime(settings, ProbeFrame(1).size()));
        for (const auto address : options.addresses) {
            ++done;
            if (progress) {
                const auto left = std::chrono::duration<double>(probeCost * static_cast<long>(total - done)).count();
                char text[160];
                std::snprintf(text, sizeof text, "\r%s: address %d, %zu of %zu probes, %zu found, about %.0f s left   ",
                              engine::ShortText(settings).c_str(), address, done, total, found.size(), left);
                err << text << std::flush;
            }
            if (std::find(answered.begin(), answered.end(), address) != answered.end())
                continue;
            const auto reply = session->exchange(ProbeFrame(address), timeout);
            if (reply.end == serial::ExchangeResult::End::PortFailed) {
                err << (progress ? "\n" : "") << "cannot write to " << options.line.port << "\n";
                return 4;
            }
            if (!AnswerFrom(reply, address))
                continue;
            answered.push_back(address);
            const auto identity = Identify(*session, address, reply);
            found.push_back({address, framing, identity.answersRead, identity.types});
            if (!options.json) {
                if (progress)
                    err << "\r" << std::string(100, ' ') << "\r" << std::flush;
                out << lineOf(found.back(), settings) << "\n" << std::flush;
            }
            if (options.first) {
                stop = true;
                break;
            }
        }
        if (stop)
            break;
    }
    if (progress)
        err << "\r" << std::string(100, ' ') << "\r" << std::flush;
    if (options.json) {
        out << "[";
        for (std::size_t i = 0; i < found.size(); ++i)
            out << (i ? ",\n " : "") << jsonOf(found[i]);
        out << "]\n";
    }
    if (found.empty() && !options.json)
        out << "no meter answered\n";
    return found.empty() ? 3 : 0;
}

} // namespace cli

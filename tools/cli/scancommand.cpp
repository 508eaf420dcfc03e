#include "commands.h"
#include "exitstatus.h"
#include "linesession.h"
#include "output.h"
#include "probe.h"

#include "engine/replyend.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

struct Found {
    std::string port; // named in the output when several lines are swept
    std::uint8_t address;
    commissioning::SweepSetting setting;
    bool throughGateway; // the settings are the gateway's business, not known here
    bool garbled;        // bytes came, but never a valid frame
    bool answersRead;
    std::vector<std::pair<std::string, std::string>> types;
};


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
    const std::string where = (f.port.empty() ? std::string() : f.port + ": ") + "address " + std::to_string(f.address)
                              + (f.throughGateway ? std::string(" through the gateway") : " at " + engine::ShortText(s));
    if (f.garbled)
        return where + ": bytes without a valid frame";
    return where + ": answered " + (f.answersRead ? "a read" : "with exceptions only") + "; can be " + typesText(f);
}

std::string jsonOf(const Found &f)
{
    std::string types, energies;
    for (const auto &[type, energy] : f.types) {
        types += (types.empty() ? "" : ", ") + JsonString(type);
        if (!energy.empty())
            energies += (energies.empty() ? "" : ", ") + JsonString(type) + ": " + energy;
    }
    std::string json = "{" + (f.port.empty() ? std::string() : "\"port\": " + JsonString(f.port) + ", ")
                       + "\"address\": " + std::to_string(f.address);
    if (!f.throughGateway)
        json += ", \"baud\": " + std::to_string(f.setting.baud) + ", \"parity\": "
                + JsonString(engine::ParityWord(f.setting.parity)) + ", \"stop_bits\": "
                + std::string(engine::StopBitsText(f.setting.stopBits));
    return json + ", \"answered\": " + JsonString(f.garbled ? "garbled" : f.answersRead ? "read" : "exception")
           + ", \"meter_types\": [" + types + "], \"energy_kwh\": {" + energies + "}}";
}

// The progress line on a terminal, cleared before anything else is printed
// so that no line lands inside it.
class Progress
{
public:
    Progress(std::ostream &err, bool wanted)
        : m_err(err)
        , m_on(wanted && ::isatty(STDERR_FILENO) == 1)
    {
    }
    ~Progress() { clear(); }
    void show(const std::string &text)
    {
        if (!m_on)
            return;
        m_err << "\r" << text << "   " << std::flush;
        m_shown = true;
    }
    void clear()
    {
        if (m_shown)
            m_err << "\r" << std::string(100, ' ') << "\r" << std::flush;
        m_shown = false;
    }

private:
    std::ostream &m_err;
    bool m_on;
    bool m_shown = false;
};


// What one line's sweep found, and how it ended.
struct LineScan {
    int result = 0; // an exit status: success, the port failed, or stopped by a signal
    std::vector<Found> found;
    std::size_t done = 0;
    std::size_t total = 0;
    bool meters = false; // a device answered with a valid frame
};

Task<LineScan> scanLine(const Options &options, const std::string &port, bool tagged, std::ostream &out, std::ostream &err)
{
    const std::string tag = tagged ? port + ": " : std::string();
    LineOptions line = options.line;
    line.port = port;
    line.settings = commissioning::WithSetting(options.line.settings, options.sweep.front());
    std::string reason;
    const auto session = co_await LineSession::Open(line, reason);
    if (!session) {
        err << reason << "\n";
        co_return LineScan{status::PortFailed, {}, 0, 0, false};
    }
    // Each reply names its address, so a late one is told apart without
    // waiting for the line to settle after every silent address.
    session->setSettle(std::chrono::milliseconds(options.line.settleMs.value_or(0)));
    session->setNotes(&err);
    Progress progress(err, !tagged);
    // Through a gateway the settings never reach the meters' line: one pass.
    const bool gateway = session->throughGateway();
    std::vector<commissioning::SweepSetting> settingsTried = options.sweep;
    if (gateway) {
        settingsTried.resize(1);
        err << tag << "note: through a gateway the line settings are the gateway's; the addresses are swept once\n";
    }
    const auto timeout = std::chrono::milliseconds(options.line.timeoutMs);
    std::vector<Found> found;
    std::vector<std::uint8_t> answered; // each address is listed once, at the first settings it answers
    std::vector<std::uint8_t> garbled;  // and once more at most, where only garbled bytes came
    const std::size_t total = settingsTried.size() * options.addresses.size();
    std::size_t done = 0;
    bool echoNoted = false;
    int result = status::Success;
    const auto report = [&](const Found &f, const engine::LineSettings &settings) {
        found.push_back(f);
        if (!options.json) {
            progress.clear();
            out << lineOf(f, settings) << "\n" << std::flush;
        }
    };
    for (const auto &setting : settingsTried) {
        const auto settings = commissioning::WithSetting(options.line.settings, setting);
        if (!session->setSettings(settings, reason)) {
            progress.clear();
            err << reason << "\n";
            done += options.addresses.size();
            continue;
        }
        const auto probeCost = timeout + std::chrono::duration_cast<std::chrono::milliseconds>(
                                             engine::LineTime(settings, ProbeFrame(1).size()));
        for (const auto address : options.addresses) {
            ++done;
            {
                const auto left = std::chrono::duration<double>(probeCost * static_cast<long>(total - done)).count();
                char text[160];
                std::snprintf(text, sizeof text, "%s: address %d, %zu of %zu probes, %zu found, about %.0f s left",
                              gateway ? "gateway" : engine::ShortText(settings).c_str(), address, done, total,
                              found.size(), left);
                progress.show(text);
            }
            if (std::find(answered.begin(), answered.end(), address) != answered.end())
                continue;
            const auto probe = ProbeFrame(address);
            auto reply = co_await session->exchange(probe, timeout);
            Heard heard = Classify(reply, address);
            // Bytes cut by noise are asked for once more, with twice the time,
            // once the rest of what was cut has passed.
            if (heard == Heard::Garbled) {
                session->letSettle(timeout * 2);
                reply = co_await session->exchange(probe, timeout * 2);
                heard = Classify(reply, address);
            }
            if (heard == Heard::PortFailed) {
                result = status::PortFailed;
                break;
            }
            if (heard == Heard::Interrupted) {
                result = InterruptedExitCode();
                break;
            }
            if (heard == Heard::Echo && !echoNoted) {
                echoNoted = true;
                progress.clear();
                err << tag << "note: " << EchoedRequest << "\n";
            }
            if (heard == Heard::OtherAddress) {
                progress.clear();
                err << tag << "note: a late reply from address " << int(reply.reply[0]) << " came while address "
                    << int(address) << " was probed, and was discarded (a longer --timeout may find it)\n";
            }
            if (heard == Heard::Garbled) {
                if (std::find(garbled.begin(), garbled.end(), address) == garbled.end()) {
                    garbled.push_back(address);
                    report({tagged ? port : std::string(), address, setting, gateway, true, false, {}}, settings);
                }
                continue;
            }
            if (heard != Heard::Answer)
                continue;
            answered.push_back(address);
            const auto identity = co_await Identify(*session, address, reply);
            if (identity.interrupted) {
                result = InterruptedExitCode();
                break;
            }
            report({tagged ? port : std::string(), address, setting, gateway, false, identity.answersRead, identity.types},
                   settings);
            if (options.first)
                break;
        }
        if (result != status::Success || (options.first && !answered.empty()))
            break;
    }
    progress.clear();
    if (result == status::PortFailed)
        err << "cannot go on: " << port << " failed or went away\n";
    co_return LineScan{result, std::move(found), done, total, !answered.empty()};
}

} // namespace

Task<int> RunScan(const Options &options, std::ostream &out, std::ostream &err)
{
    // Several lines are swept at the same time, each with its own queue.
    const bool tagged = options.ports.size() > 1;
    std::vector<Task<LineScan>> sweeps;
    for (const auto &port : options.ports)
        sweeps.push_back(scanLine(options, port, tagged, out, err));
    lineclient::AllOf<LineScan> all{std::move(sweeps)}; // named: the sweeps point at it while they run
    const auto lines = co_await all;
    // What was found is printed whatever ended a sweep.
    int worst = status::Success;
    bool meters = false;
    std::size_t done = 0, total = 0, found = 0;
    if (options.json)
        out << "[";
    for (const auto &line : lines) {
        for (const auto &f : line.found)
            if (options.json)
                out << (found++ ? ",\n " : "") << jsonOf(f);
        meters = meters || line.meters;
        done += line.done;
        total += line.total;
        // A port failure outranks the rest; an interruption is said once, for all.
        worst = status::Worse(worst, line.result);
    }
    if (options.json)
        out << "]\n";
    const bool anything = std::any_of(lines.begin(), lines.end(), [](const LineScan &l) { return !l.found.empty(); });
    if (!anything && !options.json && worst == status::Success)
        out << "no meter answered\n";
    out.flush();
    if (worst != status::Success && worst != status::PortFailed)
        err << "interrupted after " << done << " of " << total << " probes\n";
    if (worst != status::Success)
        co_return worst;
    if (!out)
        co_return InterruptedExitCode();
    co_return meters ? status::Success : status::NoReply;
}

} // namespace cli

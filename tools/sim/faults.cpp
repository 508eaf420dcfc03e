#include "faults.h"

#include <charconv>
#include <sstream>

namespace sim {

namespace {

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

std::optional<int> number(const std::string& text, int low, int high)
{
    int value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end || value < low || value > high)
        return std::nullopt;
    return value;
}

const char* nameOf(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Silent: return "silent";
    case FaultKind::BadCrc: return "bad-crc";
    case FaultKind::Exception: return "exception";
    case FaultKind::Split: return "split";
    case FaultKind::Late: return "late";
    case FaultKind::Garbage: return "garbage";
    case FaultKind::Chatter: return "chatter";
    case FaultKind::Echo: return "echo";
    case FaultKind::KeepSettings: return "keep-settings";
    }
    return "";
}

// One mode with its arguments; an empty text when it is fine.
std::string parseMode(const std::vector<std::string>& parts, Fault& fault)
{
    const auto& mode = parts[0];
    const auto args = parts.size() - 1;
    auto arg = [&](std::size_t i, int low, int high) { return number(parts[i], low, high); };

    if (mode == "silent" && args == 0) {
        fault.kind = FaultKind::Silent;
    } else if (mode == "echo" && args == 0) {
        fault.kind = FaultKind::Echo;
    } else if (mode == "keep-settings" && args == 0) {
        fault.kind = FaultKind::KeepSettings;
    } else if (mode == "bad-crc" && args == 0) {
        fault.kind = FaultKind::BadCrc;
    } else if (mode == "exception" && args <= 1) {
        fault.kind = FaultKind::Exception;
        if (args == 1) {
            const auto code = arg(1, 1, 255);
            if (!code)
                return "exception code must be 1..255";
            fault.code = *code;
        }
    } else if (mode == "split" && args == 2) {
        fault.kind = FaultKind::Split;
        const auto chunks = arg(1, 2, 256);
        const auto gap = arg(2, 0, 60000);
        if (!chunks || !gap)
            return "split needs N (2..256) chunks and a gap of 0..60000 ms";
        fault.count = *chunks;
        fault.millis = *gap;
    } else if (mode == "late" && args == 1) {
        fault.kind = FaultKind::Late;
        const auto delay = arg(1, 0, 60000);
        if (!delay)
            return "late needs a delay of 0..60000 ms";
        fault.millis = *delay;
    } else if (mode == "garbage" && args == 1) {
        fault.kind = FaultKind::Garbage;
        const auto n = arg(1, 1, 4096);
        if (!n)
            return "garbage needs 1..4096 bytes";
        fault.count = *n;
    } else if (mode == "chatter" && args <= 1) {
        fault.kind = FaultKind::Chatter;
        if (args == 1) {
            const auto n = arg(1, 1, 65536);
            if (!n)
                return "chatter takes 1..65536 bytes";
            fault.count = *n;
        }
    } else {
        return "unknown fault mode or wrong arguments";
    }
    return {};
}

} // namespace

const Fault* FaultPlan::find(FaultKind kind) const
{
    for (const auto& fault : faults)
        if (fault.kind == kind)
            return &fault;
    return nullptr;
}

std::string FaultPlan::describe() const
{
    std::string text;
    for (const auto& fault : faults) {
        text += text.empty() ? "" : ",";
        text += nameOf(fault.kind);
        switch (fault.kind) {
        case FaultKind::Exception: text += ":" + std::to_string(fault.code); break;
        case FaultKind::Split: text += ":" + std::to_string(fault.count) + ":" + std::to_string(fault.millis); break;
        case FaultKind::Late: text += ":" + std::to_string(fault.millis); break;
        case FaultKind::Garbage: text += ":" + std::to_string(fault.count); break;
        case FaultKind::Chatter: text += fault.count ? ":" + std::to_string(fault.count) : ""; break;
        default: break;
        }
    }
    if (text.empty())
        return "none";
    return once ? text + " (first request only)" : text;
}

std::string FaultPlan::unusableOn(GatewayFraming framing, bool overTcp) const
{
    for (const auto& fault : faults) {
        switch (fault.kind) {
        case FaultKind::Echo:
            if (overTcp)
                return "echo is for serial lines only";
            break;
        case FaultKind::BadCrc:
        case FaultKind::Garbage:
        case FaultKind::Chatter:
            if (framing == GatewayFraming::Mbap)
                return std::string(nameOf(fault.kind)) + " is for serial lines and rtu-tcp only";
            break;
        default:
            break;
        }
    }
    return {};
}

std::optional<FaultPlan> ParseFaults(const std::vector<std::string>& options, std::string& error)
{
    FaultPlan plan;
    for (const auto& option : options) {
        for (const auto& item : split(option, ',')) {
            if (item == "once") {
                plan.once = true;
                continue;
            }
            const auto parts = split(item, ':');
            Fault fault;
            const auto problem = parts.empty() ? std::string("empty fault mode") : parseMode(parts, fault);
            if (!problem.empty()) {
                error = "--fault \"" + item + "\": " + problem;
                return std::nullopt;
            }
            if (plan.find(fault.kind)) {
                error = "--fault \"" + item + "\": " + nameOf(fault.kind) + " given twice";
                return std::nullopt;
            }
            plan.faults.push_back(fault);
        }
    }
    return plan;
}

} // namespace sim

#pragma once

#include "linesession.h"
#include "probe.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace history {
class HistoryLog;
}

// Changing one meter's address, baud rate and parity, each change checked on
// the line: the work of set, row by row for a plan.
namespace jobs {

// One meter and the changes it is to get.
struct Change {
    std::uint8_t address = 0;
    std::string meter;
    std::optional<std::uint8_t> newAddress;
    std::optional<int> newBaud;
    std::optional<engine::Parity> newParity;
    std::optional<engine::StopBits> newStopBits;
};

// How a change ended, worst last but one: the exit status of set follows it.
enum class Verdict { Verified, Refused, Rejected, NoReply, Unverified, PortFailed, Interrupted, NotRun };

// "verified", "refused", "rejected", "timeout", "unverified", "port", "interrupted", "not run".
const char *VerdictWord(Verdict verdict);

// One write of a change and what became of it.
struct StepResult {
    std::string command;
    std::string value;
    std::uint8_t address = 0; // where it was written
    Verdict verdict = Verdict::Verified;
    std::string acknowledged; // the History.log detail, once the meter acknowledged
    std::string problem;      // why it is not verified, or why it failed
    std::string answersAt;    // once verified: "answers at 16 9600 8N1"
};

struct RowResult {
    Verdict verdict = Verdict::Verified;
    std::string detail;
    std::vector<StepResult> steps; // those that were written
};

// The steps of a row in a few words, for the result file: "Modify Meter
// Address to 16: verified; Modify Baud Rate to 19200: timeout (no reply)";
// for a row that wrote nothing, why not.
std::string StepsText(const RowResult &row);

// Every value of the change checked as the window's dialogs check them,
// before anything is written: the first refusal, or empty.
std::string CheckChange(const Change &change);

// How a change is made on its line.
struct ChangeSetup {
    engine::LineSettings settings; // where the meter answers before the change
    bool force = false;            // write even where the meter's address or its new one is in doubt
    history::HistoryLog *history = nullptr; // each write's line, as the window writes it; none when null
};

// What a change reports while it runs.
struct ChangeEvents {
    std::function<void(const StepResult &)> step; // as each step ends
    std::function<void(const std::string &)> note; // a refusal, a History.log problem
};

class ChangeRun
{
public:
    ChangeRun(LineSession &session, const ChangeSetup &setup, ChangeEvents events);

    Task<RowResult> run(const Change &change);

private:
    // Which setting a step writes, and so how it is verified.
    enum class Setting { Address, Baud, Parity };
    struct Step {
        Setting setting;
        std::string_view command;
        std::string value1;
        std::optional<std::string> value2;
    };
    Task<RowResult> step(const Step &step, const Change &change, RowResult &row);
    // Why the change is not verified (empty when it is), with the verdict then.
    Task<std::pair<std::string, Verdict>> verifyAddress(std::uint8_t from);
    Task<std::pair<std::string, Verdict>> verifySettings();
    Task<Heard> answersAt(std::uint8_t address, int attempts);
    Task<Heard> garbledEachTime(std::uint8_t address);
    void say(const std::string &text) const;

    LineSession &m_session;
    ChangeSetup m_setup;
    ChangeEvents m_events;
    std::string m_meter;
    std::uint8_t m_address = 0;
    engine::LineSettings m_settings;
    std::string m_answersAt; // where the meter answered last
};

} // namespace jobs

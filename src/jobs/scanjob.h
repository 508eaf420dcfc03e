#pragma once

#include "job.h"

#include "commissioning/sweepplan.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace jobs {

// What a sweep is to try, on which lines.
struct ScanSetup {
    std::vector<LineSetup> lines; // each swept at the same time as the others
    std::vector<commissioning::SweepSetting> sweep; // in this order
    std::vector<std::uint8_t> addresses;
    bool first = false; // stop each line at the first meter it finds
    // After a time-out, how long each line waits for quiet; each reply names
    // its address, so a late one is told apart without waiting.
    std::chrono::milliseconds settle{0};
};

// What the replies of an address give reason to believe beyond what answered.
enum class Suspect {
    None,
    Duplicate, // garbled where other addresses answer cleanly, or now valid, now garbled: two devices answering at once
};

// One device that answered a probe.
struct FoundDevice {
    std::string port;
    std::uint8_t address = 0;
    engine::LineSettings settings; // where it answered
    bool throughGateway = false;   // the settings are the gateway's business, not known here
    bool garbled = false;          // bytes came, but never a valid frame
    bool answersRead = false;      // a read with data, not only exceptions
    std::string exception;         // an exception answer: "exception 02 (Illegal Data Address)"
    double responseMs = 0;         // from the probe leaving the line to its reply's end
    Suspect suspect = Suspect::None;
    std::vector<std::pair<std::string, std::string>> types; // meter type, its energy text
};

// Where a sweep stands, all its lines together.
struct ScanProgress {
    std::size_t done = 0;
    std::size_t total = 0;
    std::size_t found = 0;
    double secondsLeft = 0;
    std::string where; // "9600 8N1: address 5" on the line that moved last
};

// What one line's sweep found, and how it ended.
struct LineScan {
    std::string port;
    LineEnd end = LineEnd::Done;
    std::vector<FoundDevice> found;
    std::size_t done = 0;
    std::size_t total = 0;
    bool meters = false; // a device answered with a valid frame
};

// The sweep of one or more lines for meters: every address at every setting,
// each answer identified.
class ScanJob : public Job
{
    Q_OBJECT
public:
    explicit ScanJob(ScanSetup setup, QObject *parent = nullptr);
    const std::vector<LineScan> &lines() const { return m_lines; }

signals:
    void progress(const jobs::ScanProgress &progress);
    void found(const jobs::FoundDevice &device);
    // On one line: a note for the technician ("through a gateway ...").
    void note(const std::string &port, const std::string &text);
    // A line cannot go on; the text names it.
    void problem(const std::string &text);

protected:
    Task<bool> run() override;

private:
    Task<LineScan> sweepLine(std::size_t index);
    void moved(std::size_t index, const LineScan &line, double secondsLeft, const std::string &where);

    ScanSetup m_setup;
    std::vector<LineScan> m_lines;
    struct LineProgress {
        std::size_t done = 0, total = 0;
        double secondsLeft = 0;
    };
    std::vector<LineProgress> m_progress;
    std::size_t m_found = 0;
};

} // namespace jobs

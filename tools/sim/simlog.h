#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace sim {

// The simulator's log: one timestamped line per request, reply or event,
// flushed at once so that a watcher sees it as it happens.
class SimLog {
public:
    SimLog() = default;
    ~SimLog();
    SimLog(const SimLog&) = delete;
    SimLog& operator=(const SimLog&) = delete;

    // Appends to a file instead of writing to stderr.
    bool openFile(const std::string& path, std::string& error);

    void line(std::string_view tag, std::string_view text);

private:
    std::FILE* m_file = nullptr;
};

} // namespace sim

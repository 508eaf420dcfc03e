#include "simlog.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace sim {

SimLog::~SimLog()
{
    if (m_file)
        std::fclose(m_file);
}

bool SimLog::openFile(const std::string& path, std::string& error)
{
    m_file = std::fopen(path.c_str(), "a");
    if (!m_file) {
        error = "cannot open log " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void SimLog::line(std::string_view tag, std::string_view text)
{
    const auto now = std::chrono::system_clock::now();
    const auto seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&seconds));
    std::FILE* out = m_file ? m_file : stderr;
    std::fprintf(out, "%s.%03d %-5.*s %.*s\n", stamp, static_cast<int>(millis), static_cast<int>(tag.size()), tag.data(),
                 static_cast<int>(text.size()), text.data());
    std::fflush(out);
}

} // namespace sim

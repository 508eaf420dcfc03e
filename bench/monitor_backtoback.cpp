// Frames back to back at 115200 baud into quorvane-cli monitor: the bench plays
// the simulator's side of a pseudo-terminal, pacing the bytes at the line rate
// with no silence between frames, so that every frame must be cut by its CRC.
// Prints the frames sent against those reported (lost or merged ones are the
// difference); no figure is judged.
//     build/bench/monitor_backtoback [FRAMES]   (100000 unless given, ~74 s)

#include "codec/crc16.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double Baud = 115200;
constexpr auto ByteTime = std::chrono::duration<double>(10 / Baud); // 8N1

// A read request and its reply, turn about, each slave in turn.
std::vector<std::uint8_t> frame(std::size_t i)
{
    const auto slave = static_cast<std::uint8_t>(1 + (i / 2) % 247);
    std::vector<std::uint8_t> bytes = i % 2 == 0 ? std::vector<std::uint8_t>{slave, 0x04, 0x01, 0x56, 0x00, 0x02}
                                                 : std::vector<std::uint8_t>{slave, 0x04, 0x04, 0x44, 0x9A, 0x52, 0x2B};
    codec::AppendCrc16(bytes);
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100'000;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("pseudo-terminal");
        return 1;
    }
    const std::string port = ptsname(master);
    char outPath[] = "/tmp/monitor_backtoback_XXXXXX";
    const int out = mkstemp(outPath);
    int ready[2];
    if (out < 0 || pipe(ready) != 0) {
        std::perror("output");
        return 1;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ready[1], STDERR_FILENO);
    std::vector<std::string> args{QUORVANE_CLI_PATH, "monitor", "--port", port, "--baud", "115200", "--json"};
    std::vector<char*> argp;
    for (auto& arg : args)
        argp.push_back(arg.data());
    argp.push_back(nullptr);
    pid_t monitor = 0;
    if (posix_spawn(&monitor, argp[0], &actions, nullptr, argp.data(), environ) != 0) {
        std::perror("posix_spawn");
        return 1;
    }
    close(ready[1]);
    // It has opened the port once it says so.
    std::string said;
    char c = 0;
    while (said.find("listening") == std::string::npos && read(ready[0], &c, 1) == 1)
        said += c;

    std::vector<std::uint8_t> wire;
    for (std::size_t i = 0; i < count; ++i) {
        const auto bytes = frame(i);
        wire.insert(wire.end(), bytes.begin(), bytes.end());
    }
    // Whatever the line rate has let through by now, in one write.
    const auto start = Clock::now();
    std::size_t sent = 0;
    while (sent < wire.size()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const auto due = std::min(wire.size(), static_cast<std::size_t>((Clock::now() - start) / ByteTime));
        while (sent < due) {
            const auto n = write(master, wire.data() + sent, due - sent);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // Past the silence, so the last frame is cut, then the end.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(monitor, SIGINT);
    int status = 0;
    waitpid(monitor, &status, 0);

    std::string summary;
    if (FILE* file = std::fopen(outPath, "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, file))
            summary = line;
        std::fclose(file);
    }
    unlink(outPath);
    unsigned long reported = 0, crcErrors = 0, paired = 0;
    std::sscanf(summary.c_str(), "{\"summary\":{\"frames\":%lu,\"crc_errors\":%lu,\"requests\":%*u,\"paired\":%lu", &reported,
                &crcErrors, &paired);
    std::printf("frames sent       %zu (%zu bytes in %.1f s, %.0f bytes/s)\n", count, wire.size(), seconds,
                static_cast<double>(wire.size()) / seconds);
    std::printf("frames reported   %lu\n", reported);
    std::printf("lost or merged    %ld\n", static_cast<long>(count) - static_cast<long>(reported));
    std::printf("with a bad CRC    %lu\n", crcErrors);
    std::printf("replies paired    %lu of %zu\n", paired, count / 2);
    std::printf("monitor exit      %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}

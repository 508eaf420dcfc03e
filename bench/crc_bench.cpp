// CRC-16 and request frame building throughput: ns per frame and MB/s of
// ComputeCrc16 on an 8-byte and a 39-byte frame, frames per second of BuildRequestFrame.
#include "catalogue/catalogue.h"
#include "codec/crc16.h"
#include "engine/requestframe.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Keeps the compiler from dropping the work being timed.
volatile std::uint32_t sink = 0;

// Repeats work until at least minimum time has passed; seconds per call.
template <typename Work>
double secondsPerCall(Work work, double minimumSeconds = 0.5)
{
    long calls = 1000;
    for (;;) {
        const auto start = Clock::now();
        for (long i = 0; i < calls; ++i)
            work(i);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (elapsed >= minimumSeconds)
            return elapsed / double(calls);
        calls *= elapsed > 0.01 ? static_cast<long>(minimumSeconds / elapsed * 1.2) + 1 : 10;
    }
}

void benchCrc(const char* name, std::vector<std::uint8_t> frame)
{
    const double seconds = secondsPerCall([&](long i) {
        frame[0] = static_cast<std::uint8_t>(i); // a different frame each time
        sink = sink + static_cast<std::uint32_t>(codec::ComputeCrc16(frame));
    });
    std::printf("ComputeCrc16 %-28s %3zu bytes: %8.1f ns/frame  %7.1f MB/s\n", name, frame.size(), seconds * 1e9,
                double(frame.size()) / seconds / 1e6);
}

void benchFrame(const char* meter, const char* command, int parameterCode)
{
    const auto codes = catalogue::Find_Code(meter, command);
    const auto kind = catalogue::GetFrameKind(meter, command);
    if (!codes) {
        std::printf("no codes for %s / %s\n", meter, command);
        return;
    }
    engine::TimeBytes time{0x58, 0x59, 0x23, 0x01, 0x31, 0x12, 0x24, 0x20};
    engine::TariffBytes tariff{};
    tariff[0] = {0x01, 0x30, 0x08};
    std::size_t length = 0;
    const double seconds = secondsPerCall([&](long i) {
        const auto frame = engine::BuildRequestFrame(kind, command, codes->request, static_cast<std::uint8_t>(1 + i % 247),
                                                     parameterCode, time, tariff);
        length = frame.size();
        sink = sink + frame.back();
    });
    std::printf("BuildRequestFrame %-13s %-21s %3zu bytes: %10.0f frames/s  (%6.1f ns/frame)\n", meter, command,
                length, 1.0 / seconds, seconds * 1e9);
}

} // namespace

int main()
{
    std::vector<std::uint8_t> tariff(37, 0);
    const std::uint8_t head[] = {0x01, 0x10, 0xF7, 0x00, 0x00, 0x0F, 0x1E, 0x01, 0x30, 0x08};
    std::copy(std::begin(head), std::end(head), tariff.begin());

    benchCrc("(8-byte frame, CRC over 6)", {0x01, 0x04, 0x01, 0x56, 0x00, 0x02});
    benchCrc("(8-byte frame, all 8)", {0x01, 0x04, 0x01, 0x56, 0x00, 0x02, 0x90, 0x27});
    benchCrc("(39-byte frame, CRC over 37)", tariff);
    tariff.resize(39);
    benchCrc("(39-byte frame, all 39)", tariff);
    std::vector<std::uint8_t> block(4096);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 31);
    benchCrc("(4 KiB block)", block);

    benchFrame("Tarvik CT", "Read Energy", 0);
    benchFrame("Tarvik CT", "Modify Baud Rate", 2);
    benchFrame("Morel-K", "Set CT", 4);
    benchFrame("Morel-N", "Set Time", 0);
    benchFrame("Pesca-N", "Set Tariff", 0);
    return 0;
}

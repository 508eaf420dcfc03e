// How free the event loop stays while line clients sweep: the largest
// lateness of a 10 ms timer during a sweep of addresses 1-247 (50 ms
// time-out) on each line given, and the process's CPU time for it.
// usage: sweep_lateness PORT [PORT...]   (e.g. the simulator's links)
#include "catalogue/catalogue.h"
#include "engine/requestframe.h"
#include "lineclient/lineclient.h"
#include "lineclient/task.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <memory>

using namespace std::chrono_literals;
using lineclient::LineClient;

namespace {

std::vector<std::uint8_t> probe(std::uint8_t address)
{
    using namespace catalogue;
    return engine::BuildRequestFrame(FrameKindRead, command::ReadEnergy, Find_Code("Tarvik CT", command::ReadEnergy)->request,
                                     address, 0, {}, {});
}

lineclient::Task<int> sweep(LineClient &client)
{
    if (const auto [error, reason] = co_await lineclient::Opened(client); error != serial::PortError::None) {
        std::fprintf(stderr, "%s\n", qPrintable(reason));
        co_return 0;
    }
    int answered = 0;
    for (int address = 1; address <= 247; ++address) {
        const auto request = probe(std::uint8_t(address));
        const auto result = co_await lineclient::Finished{client.send(request, 50ms, false)};
        answered += result.end == serial::ExchangeResult::End::Complete ? 1 : 0;
    }
    co_return answered;
}

double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: sweep_lateness PORT [PORT...]\n");
        return 2;
    }
    std::vector<std::unique_ptr<LineClient>> clients;
    std::vector<lineclient::Task<int>> sweeps;
    for (int i = 1; i < argc; ++i) {
        clients.push_back(std::make_unique<LineClient>(QString::fromLocal8Bit(argv[i])));
        sweeps.push_back(sweep(*clients.back()));
    }
    // The window's stand-in: a 10 ms timer, and how late each tick is.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last > 0)
            worst = std::max(worst, now - last - 10'000'000);
        last = now;
    });
    tick.start(10);
    const double cpu0 = cpuSeconds();
    int answered = 0;
    bool done = false;
    lineclient::AllOf<int> all{std::move(sweeps)};
    [](lineclient::AllOf<int> &all, int &answered, bool &done) -> lineclient::Detached {
        for (const int n : co_await all)
            answered += n;
        done = true;
        QCoreApplication::quit();
    }(all, answered, done);
    if (!done)
        app.exec();
    std::printf("%d line(s), 247 addresses each: %.2f s wall, %.3f s CPU, %d answered, largest lateness of a 10 ms timer %.2f ms\n",
                argc - 1, clock.nsecsElapsed() / 1e9, cpuSeconds() - cpu0, answered, worst / 1e6);
    return 0;
}

// How long the start-up port scan takes on this machine, for both rules.
#include "peerfixture.h"
#include "serial/portdiscovery.h"
#include "serial/qtserialline.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Runs = 10;

void report(const char *what, const std::function<serial::PortScan()> &scan)
{
    std::vector<double> ms;
    qsizetype listed = 0;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        listed = scan().ports.size();
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double m : ms)
        sum += m;
    std::printf("%-58s runs %d  min %7.2f ms  median %7.2f ms  max %7.2f ms  ports listed %lld\n", what,
                Runs, ms.front(), ms[ms.size() / 2], ms.back(), static_cast<long long>(listed));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    serial::QtSerialLine line;
    const QStringList given = serial::portArguments(app.arguments());

    report("device rule: system ports and --port paths", [&] { return serial::scanDevicePorts(line, given); });

    PtyPair first;
    PtyPair second;
    if (first.start("a_tool", "a_peer") && second.start("b_tool", "b_peer")) {
        report("device rule: system ports and 2 pseudo-terminals",
               [&] { return serial::scanDevicePorts(line, {first.nearPath(), second.nearPath()}); });
    } else {
        std::printf("no pseudo-terminals: %s%s\n", qPrintable(first.failure()), qPrintable(second.failure()));
    }

    // On this platform "COM50".."COM1" name missing devices: the cost of 50 failed probes,
    // as if the system listed every number.
    QStringList everyNumber;
    for (int n = 1; n <= 50; ++n)
        everyNumber << QStringLiteral("COM%1").arg(n);
    report("Windows rule: 50 probes COM50..COM1", [&] { return serial::scanWindowsPorts(line, everyNumber); });
    return 0;
}

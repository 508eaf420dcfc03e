// The bus window at work, offscreen: a sweep of addresses 1-247 at one setting
// on each line given (its time beside quorvane-cli scan's on the same lines,
// and the largest lateness of a 10 ms timer meanwhile), then a watch of the
// meters found as fast as the lines allow until READINGS readings: CPU time
// and resident memory as it goes.
// usage: bus_window READINGS PORT [PORT...]   (e.g. the simulator's links)
#include "ui/bus/buswindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

namespace {

double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

template <typename T>
T *control(QWidget &window, const char *name)
{
    for (T *child : window.findChildren<T *>())
        if (child->accessibleName() == QLatin1String(name))
            return child;
    return nullptr;
}

// quorvane-cli scan of the same lines and addresses, its wall time in seconds.
double cliScan(const QStringList &ports)
{
    QStringList args{"scan", "--baud", "9600", "--parity", "none", "--stop-bits", "1", "--addresses", "1-247"};
    for (const auto &port : ports)
        args << "--port" << port;
    QProcess cli;
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(QUORVANE_CLI_PATH), args);
    cli.waitForFinished(600000);
    return clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_NO_GLIB", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bus_window READINGS PORT [PORT...]\n");
        return 2;
    }
    const long readings = std::atol(argv[1]);
    QStringList ports;
    for (int i = 2; i < argc; ++i)
        ports << QString::fromLocal8Bit(argv[i]);
    const double cliSeconds = cliScan(ports);

    QTemporaryDir folder;
    bus::BusWindow window({{}, folder.path(), folder.path()});
    for (const auto &port : ports)
        window.addLine(port, engine::LineSettings{});
    control<QLineEdit>(window, "Addresses")->setText("1-247");
    control<QLineEdit>(window, "Baud rates to sweep")->setText("9600");
    for (const char *name : {"Parity even", "Parity odd", "2 stop bits"})
        control<QCheckBox>(window, name)->setChecked(false);
    window.show();

    // The window's own ticks: how late a 10 ms timer comes while the lines are worked.
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

    int stage = 0;
    double scanSeconds = 0, cpuAtWatch = 0, watchStart = 0;
    long memoryAtWatch = 0;
    QTimer sample;
    QObject::connect(&window, &bus::BusWindow::workFinished, &app, [&] {
        if (stage++ == 0) {
            scanSeconds = clock.nsecsElapsed() / 1e9;
            std::printf("sweep of 1-247 on %lld line(s): window %.2f s, quorvane-cli scan %.2f s: %.3fx; %d found; "
                        "largest lateness of a 10 ms timer %.2f ms\n",
                        static_cast<long long>(ports.size()), scanSeconds, cliSeconds, scanSeconds / cliSeconds,
                        window.found().rowCount(), worst / 1e6);
            std::fflush(stdout);
            control<QSpinBox>(window, "Watch interval in seconds")->setValue(0);
            cpuAtWatch = cpuSeconds();
            watchStart = clock.nsecsElapsed() / 1e9;
            memoryAtWatch = residentKiB();
            worst = 0;
            window.startWatch();
            sample.start(1000);
            return;
        }
        app.quit();
    });
    QObject::connect(&sample, &QTimer::timeout, [&] {
        long sent = 0;
        for (const auto &row : window.watched().rows())
            sent += long(row.tally.sent());
        if (sent < readings)
            return;
        const double seconds = clock.nsecsElapsed() / 1e9 - watchStart;
        const double cpu = cpuSeconds() - cpuAtWatch;
        std::printf("watch of %d meters: %ld readings in %.1f s (%.0f/s); CPU %.2f s, %.3f s per 1000 readings; "
                    "resident memory %.1f MiB at its start, %.1f MiB at its end; largest lateness %.2f ms\n",
                    window.watched().rowCount(), sent, seconds, sent / seconds, cpu, 1000 * cpu / double(sent),
                    memoryAtWatch / 1024.0, residentKiB() / 1024.0, worst / 1e6);
        std::fflush(stdout);
        sample.stop();
        window.stopWatch();
    });
    QTimer::singleShot(0, &window, [&] {
        clock.restart();
        window.startScan();
    });
    return QApplication::exec();
}

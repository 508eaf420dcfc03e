// Time from pressing "Confirm" to the success report of "Read Energy", with the
// real window on a real serial port against the meter simulator at 9600 8N1.
// Usage: confirm_bench [RUNS]   (run from the build folder's bench/ directory
// or with QUORVANE_BUILD_DIR set; needs no display)
#include "serial/portdiscovery.h"
#include "serial/qtserialline.h"
#include "ui/main/form1.h"
#include "ui/messages/showmessage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Notes the moment each report would show, and answers at once.
class Stopwatch final : public messages::MessagePresenter
{
public:
    QElapsedTimer clock;
    std::vector<double> reportedMs;
    QString lastCaption;
    int present(QWidget *, const QString &, int, const QString &caption) override
    {
        reportedMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        lastCaption = caption;
        return messages::IdOk;
    }
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 100;
    const QString buildDir = qEnvironmentVariableIsSet("QUORVANE_BUILD_DIR")
                                 ? qEnvironmentVariable("QUORVANE_BUILD_DIR")
                                 : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(".."));

    QTemporaryDir work;
    QProcess sim;
    sim.start(buildDir + QStringLiteral("/tools/sim/quorvane-sim"), {"--meter", "Tarvik CT@1"});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    const QString port = QString::fromUtf8(sim.readLine()).trimmed().mid(6);

    serial::QtSerialLine line;
    Form1Options options;
    options.scanPorts = [port](serial::SerialLine &l) { return serial::scanPorts(l, {port}); };
    options.programFolder = work.path();
    Form1 form(line, options);
    Stopwatch stopwatch;
    messages::SetMessagePresenter(&stopwatch);
    form.Form_Load();
    form.open_close_Command_Click();

    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        const auto before = stopwatch.reportedMs.size();
        stopwatch.clock.start();
        form.Send_command_Click();
        while (stopwatch.reportedMs.size() == before || !form.Send_command->isEnabled())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (stopwatch.lastCaption == QStringLiteral("Success"))
            samples.push_back(stopwatch.reportedMs.back());
    }
    messages::SetMessagePresenter(nullptr);
    sim.terminate();
    sim.waitForFinished();

    // 10 bits a character at 9600 baud: an 8-byte request and a 9-byte reply,
    // then the 50 ms of silence that ends a reply.
    const double character = 10.0 / 9600.0 * 1000.0;
    const double floor = 17 * character + 50.0;
    const double ptyFloor = 9 * character + 50.0; // a pseudo-terminal sends the request at once
    if (samples.empty()) {
        std::printf("no successful exchange in %d runs\n", runs);
        return 1;
    }
    std::printf("Confirm to success report, Read Energy at 9600 8N1, %zu of %d runs succeeded\n", samples.size(), runs);
    std::printf("  median %.1f ms, p10 %.1f ms, p90 %.1f ms, max %.1f ms\n", percentile(samples, 0.5),
                percentile(samples, 0.1), percentile(samples, 0.9), percentile(samples, 1.0));
    std::printf("  floor on a real line %.1f ms (request %.1f + reply %.1f + silence 50); on a pseudo-terminal %.1f ms\n",
                floor, 8 * character, 9 * character, ptyFloor);
    return 0;
}

#include "app/demo.h"
#include "serial/portdiscovery.h"
#include "serial/anyline.h"
#include "ui/appicon.h"
#include "ui/bus/buswindow.h"
#include "ui/main/form1.h"
#include "version.h"

#include <QApplication>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

// For the start-up benchmark: the moment the shown window is painted, on the steady clock.
void PrintShownTime()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("shown %lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    bool demo = false;
    bool busOnly = false;
    bool reportShown = false;
    int holdMs = 0;
    for (int i = 1; i < argc; ++i) {
        // Before any window: the version needs no display.
        if (qstrcmp(argv[i], "--version") == 0) {
            std::printf("quorvane %s\n", QuorvaneVersion);
            return 0;
        }
        if (qstrcmp(argv[i], "--demo") == 0)
            demo = true;
        else if (qstrcmp(argv[i], "--bus") == 0)
            busOnly = true;
        else if (qstrcmp(argv[i], "--report-shown") == 0)
            reportShown = true;
        else if (qstrcmp(argv[i], "--demo-hold") == 0 && i + 1 < argc)
            holdMs = QByteArray(argv[++i]).toInt();
    }
    if (demo && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QLatin1String(QuorvaneVersion));
    QApplication::setWindowIcon(ui::AppIcon());
    // Ties the window to its menu entry and icon (quorvane.desktop) on Wayland desktops.
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));

    const QStringList givenPorts = serial::portArguments(QApplication::arguments());
    // Serial devices and gateways alike, by the name chosen in the port list.
    serial::AnyLine port;
    Form1Options options;
    options.scanPorts = [givenPorts](serial::SerialLine &line) {
        auto scan = serial::scanPorts(line, givenPorts);
        // A port the operator named but that does not open is said once; the
        // scan itself reports nothing in the window.
        for (const auto &[entry, error] : scan.refused)
            if (givenPorts.contains(entry.device))
                std::fprintf(stderr, "quorvane: cannot open %s: %s\n", qPrintable(entry.device),
                             qPrintable(serial::portErrorText(error)));
        return scan;
    };
    options.programFolder = QApplication::applicationDirPath();
    options.fallbackFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);

    // The bus window: the given ports are its first lines.
    const bus::BusWindow::Setup busSetup{givenPorts, options.programFolder, options.fallbackFolder};
    const auto showBus = [&busSetup](std::unique_ptr<bus::BusWindow> &window) {
        if (!window) {
            window = std::make_unique<bus::BusWindow>(busSetup);
            for (const auto &given : busSetup.givenPorts)
                window->addLine(given, engine::LineSettings{});
        }
        window->show();
        window->raise();
        window->activateWindow();
    };
    std::unique_ptr<bus::BusWindow> busWindow;
    if (busOnly && !demo) {
        showBus(busWindow);
        if (reportShown)
            QTimer::singleShot(0, PrintShownTime);
        return QApplication::exec();
    }

    Form1 form(port, options);
    // F2: the bus window beside the main window, whose own keys stay as they are.
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_F2), &form), &QShortcut::activated, &form,
                     [&] { showBus(busWindow); });
    if (demo)
        return RunDemo(form, port, holdMs);

    form.Form_Load();
    if (const QScreen *screen = form.screen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();
    if (reportShown)
        QTimer::singleShot(0, PrintShownTime);
    return QApplication::exec();
}

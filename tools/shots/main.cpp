// quorvane-shots NAME [SECONDS]: shows one window of the program for a
// screenshot, prints where it is, and quits after a few seconds.
#include "ui/dialogs/inputbdform.h"
#include "ui/dialogs/inputctform.h"
#include "ui/dialogs/inputidform.h"
#include "ui/dialogs/inputprform.h"
#include "ui/dialogs/inputtaform.h"
#include "ui/dialogs/inputtiform.h"
#include "ui/bus/buswindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>

namespace {

using Factory = std::function<std::unique_ptr<QWidget>()>;

// The windows that can be shown, by their names.
const std::map<QString, Factory> &windows()
{
    static const std::map<QString, Factory> table = {
        {"Input_ID_Form", [] { return std::make_unique<dialogs::Input_ID_Form>(); }},
        {"Input_BD_Form", [] { return std::make_unique<dialogs::Input_BD_Form>(); }},
        {"Input_PR_Form", [] { return std::make_unique<dialogs::Input_PR_Form>(); }},
        {"Input_CT_Form", [] { return std::make_unique<dialogs::Input_CT_Form>(); }},
        {"Input_TI_Form", [] { return std::make_unique<dialogs::Input_TI_Form>(); }},
        {"Input_TA_Form",
         [] { return std::make_unique<dialogs::Input_TA_Form>(QStringLiteral("Morel Serial")); }},
    };
    return table;
}

// The bus window at work on the line named by QUORVANE_SHOTS_PORT: its scan
// done, then a change applied, or a watch under way. `ready` once it is.
std::unique_ptr<QWidget> busScene(const QString &scene, std::function<void()> ready)
{
    auto window = std::make_unique<bus::BusWindow>(bus::BusWindow::Setup{{}, QDir::tempPath(), QDir::tempPath()});
    auto *w = window.get();
    w->resize(1200, 820);
    w->addLine(qEnvironmentVariable("QUORVANE_SHOTS_PORT"), engine::LineSettings{});
    for (auto *edit : w->findChildren<QLineEdit *>())
        if (edit->accessibleName() == QLatin1String("Addresses"))
            edit->setText(QStringLiteral("1-16"));
    for (auto *edit : w->findChildren<QLineEdit *>())
        if (edit->accessibleName() == QLatin1String("Baud rates to sweep"))
            edit->setText(QStringLiteral("9600,19200"));
    for (auto *box : w->findChildren<QCheckBox *>())
        if (box->accessibleName() != QLatin1String("Parity none") && box->accessibleName() != QLatin1String("1 stop bits"))
            box->setChecked(false);
    auto step = std::make_shared<int>(0);
    QObject::connect(w, &bus::BusWindow::workFinished, w, [w, scene, step, ready] {
        if (++*step == 1 && scene == QLatin1String("Bus_Change")) {
            w->found().setData(w->found().index(0, bus::FoundModel::NewAddress), 21);
            w->applyChanges();
            return;
        }
        if (*step == 1 && scene == QLatin1String("Bus_Watch")) {
            for (auto *spin : w->findChildren<QSpinBox *>())
                if (spin->accessibleName() == QLatin1String("Watch interval in seconds"))
                    spin->setValue(1);
            w->findChild<QTabWidget *>()->setCurrentIndex(1);
            w->startWatch();
            QTimer::singleShot(5000, w, ready);
            return;
        }
        ready();
    });
    QTimer::singleShot(300, w, [w] { w->startScan(); });
    return window;
}

int usage()
{
    std::fprintf(stderr, "usage: quorvane-shots NAME [SECONDS]\nNAME is one of:");
    for (const auto &entry : windows())
        std::fprintf(stderr, " %s", qPrintable(entry.first));
    std::fprintf(stderr, " Bus_Scan Bus_Change Bus_Watch (on QUORVANE_SHOTS_PORT)\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2 || args.size() > 3)
        return usage();
    const bool busScenes = args[1] == QLatin1String("Bus_Scan") || args[1] == QLatin1String("Bus_Change")
                           || args[1] == QLatin1String("Bus_Watch");
    const auto found = windows().find(args[1]);
    if (found == windows().end() && !busScenes)
        return usage();
    bool ok = true;
    const int seconds = args.size() == 3 ? args[2].toInt(&ok) : 4;
    if (!ok || seconds < 1 || seconds > 600)
        return usage();

    std::unique_ptr<QWidget> window;
    // Once the window is painted, say where it is, for the cropping.
    const auto sayWhere = [&window] {
        const QRect r = window->frameGeometry();
        std::printf("window %d %d %d %d\n", r.x(), r.y(), r.width(), r.height());
        std::fflush(stdout);
    };
    window = busScenes ? busScene(args[1], [sayWhere] { QTimer::singleShot(500, sayWhere); }) : found->second();
    window->move(0, 0);
    window->show();
    window->raise();
    window->activateWindow();
    if (!busScenes)
        QTimer::singleShot(500, window.get(), sayWhere);
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return QApplication::exec();
}

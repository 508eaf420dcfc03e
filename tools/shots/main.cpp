// quorvane-shots NAME [SECONDS]: shows one window of the program for a
// screenshot, prints where it is, and quits after a few seconds.
#include "ui/dialogs/inputbdform.h"
#include "ui/dialogs/inputctform.h"
#include "ui/dialogs/inputidform.h"
#include "ui/dialogs/inputprform.h"
#include "ui/dialogs/inputtaform.h"
#include "ui/dialogs/inputtiform.h"

#include <QApplication>
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

int usage()
{
    std::fprintf(stderr, "usage: quorvane-shots NAME [SECONDS]\nNAME is one of:");
    for (const auto &entry : windows())
        std::fprintf(stderr, " %s", qPrintable(entry.first));
    std::fprintf(stderr, "\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2 || args.size() > 3)
        return usage();
    const auto found = windows().find(args[1]);
    if (found == windows().end())
        return usage();
    bool ok = true;
    const int seconds = args.size() == 3 ? args[2].toInt(&ok) : 4;
    if (!ok || seconds < 1 || seconds > 600)
        return usage();

    const std::unique_ptr<QWidget> window = found->second();
    window->move(0, 0);
    window->show();
    window->raise();
    window->activateWindow();

    // Once the window is painted, say where it is, for the cropping.
    QTimer::singleShot(500, window.get(), [&window] {
        const QRect r = window->frameGeometry();
        std::printf("window %d %d %d %d\n", r.x(), r.y(), r.width(), r.height());
        std::fflush(stdout);
    });
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return QApplication::exec();
}

#include "app/demo.h"
#include "serial/portdiscovery.h"
#include "serial/qtserialline.h"
#include "ui/appicon.h"
#include "ui/main/form1.h"

#include <QApplication>
#include <QScreen>
#include <QStandardPaths>

int main(int argc, char *argv[])
{
    bool demo = false;
    int holdMs = 0;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--demo") == 0)
            demo = true;
        else if (qstrcmp(argv[i], "--demo-hold") == 0 && i + 1 < argc)
            holdMs = QByteArray(argv[++i]).toInt();
    }
    if (demo && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral("2.1.0"));
    QApplication::setWindowIcon(ui::AppIcon());

    const QStringList givenPorts = serial::portArguments(QApplication::arguments());
    serial::QtSerialLine port;
    Form1Options options;
    options.scanPorts = [givenPorts](serial::SerialLine &line) { return serial::scanPorts(line, givenPorts); };
    options.programFolder = QApplication::applicationDirPath();
    options.fallbackFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);

    Form1 form(port, options);
    if (demo)
        return RunDemo(form, holdMs);

    form.Form_Load();
    if (const QScreen *screen = form.screen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();
    return QApplication::exec();
}

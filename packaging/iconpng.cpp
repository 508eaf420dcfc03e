// Writes the tool's own icon as the PNG files of a freedesktop icon theme:
// quorvane-iconpng FOLDER SIZE... gives FOLDER/SIZExSIZE/apps/quorvane.png.
#include "ui/appicon.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: quorvane-iconpng FOLDER SIZE...\n");
        return 2;
    }
    const QIcon icon = ui::AppIcon();
    const QList<QSize> drawn = icon.availableSizes();
    for (const QString &text : arguments.mid(2)) {
        const int size = text.toInt();
        // Only sizes the icon is drawn at: a scaled copy would blur the thin needle.
        if (!drawn.contains(QSize(size, size))) {
            std::fprintf(stderr, "quorvane-iconpng: the icon is not drawn at %s pixels\n", qPrintable(text));
            return 1;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(arguments.at(1)).arg(size);
        const QString file = folder + QStringLiteral("/quorvane.png");
        if (!QDir().mkpath(folder) || !icon.pixmap(QSize(size, size)).save(file, "PNG")) {
            std::fprintf(stderr, "quorvane-iconpng: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}

#include "serial/devicecheck.h"

#include "serial/tcpline.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

namespace serial {

QString notASerialDevice(const QString &path)
{
#ifdef Q_OS_UNIX
    if (isGatewayName(path))
        return {};
    const QByteArray name = path.toLocal8Bit();
    struct stat info = {};
    if (::stat(name.constData(), &info) != 0)
        return errno == ENAMETOOLONG ? QStringLiteral("the name is too long for a device path") : QString();
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("not a serial device (a folder)");
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("not a serial device (a FIFO)");
    if (S_ISREG(info.st_mode))
        return QStringLiteral("not a serial device (a regular file)");
    if (!S_ISCHR(info.st_mode))
        return QStringLiteral("not a serial device");
    // A character device may still be no terminal (/dev/null). The kernel
    // names each device's class; nothing is opened to find out, since opening
    // a real port can change its modem lines.
    const QString subsystem = QFileInfo(QStringLiteral("/sys/dev/char/%1:%2/subsystem")
                                            .arg(major(info.st_rdev))
                                            .arg(minor(info.st_rdev)))
                                  .canonicalFilePath();
    if (!subsystem.isEmpty() && QFileInfo(subsystem).fileName() != QStringLiteral("tty"))
        return QStringLiteral("not a serial device (a %1 device)").arg(QFileInfo(subsystem).fileName());
    return {};
#else
    Q_UNUSED(path);
    return {};
#endif
}

} // namespace serial

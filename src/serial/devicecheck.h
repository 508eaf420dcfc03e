#pragma once

#include <QString>

namespace serial {

// Why a path given as a port is no serial device, before it is opened: a
// regular file, a folder, a FIFO, a character device that is no terminal
// (/dev/null), a name too long for the system. Empty when it may be one, or
// when it does not exist (opening it says so), and always for a gateway.
QString notASerialDevice(const QString &path);

} // namespace serial

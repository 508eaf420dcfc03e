#pragma once

#include "serial/serialline.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// Finding the serial ports the operator can choose from, once at start-up.
namespace serial {

// One port of the port list.
struct PortEntry {
    QString display; // what the port list shows: "COM3", "ttyUSB0", a link's file name
    QString device;  // what the serial line opens: "COM3", "/dev/ttyUSB0", a full path

    friend bool operator==(const PortEntry &, const PortEntry &) = default;
};

// The outcome of the start-up scan.
struct PortScan {
    QList<PortEntry> ports;
    int current = -1; // index into ports, -1 if none
    QList<std::pair<PortEntry, PortError>> refused; // candidates that did not open, and why
};

// The device paths and gateway addresses given at launch with "--port PATH"
// (or "--port=PATH"), repeatable, in the order given. Other arguments are ignored.
QStringList portArguments(const QStringList &arguments);

// "COM50" down to "COM1", shown as they are named, of those the system lists
// as present: a number that names no device is not worth an open.
QList<PortEntry> windowsCandidates(const QStringList &presentNames);
// The system's serial ports, highest first.
QList<PortEntry> systemCandidates();
// Sorted by display name, highest first, numbers compared as numbers:
// "ttyUSB10", "ttyUSB9", "ttyUSB0", "ttyS1".
QList<PortEntry> highestFirst(QList<PortEntry> entries);
// Paths given at launch, each shown by its file name; a gateway address is
// shown as it was given.
QList<PortEntry> givenCandidates(const QStringList &paths);
// The given ports, then the system ports that are not the same device as one
// of them (a /dev/serial/by-id link and its ttyUSB0 are one port).
QList<PortEntry> mergeCandidates(const QList<PortEntry> &given, const QList<PortEntry> &system);

// Opens and closes each candidate in turn on the line and lists those that
// opened, in candidate order; every candidate is probed, however long some
// take. Current is the first one listed when it is among the first `preferred`
// candidates, otherwise the last one listed. The line is left closed and, if a
// port was found, named after the current one.
PortScan probeCandidates(SerialLine &line, const QList<PortEntry> &candidates, int preferred);

// COM50 down to COM1 among the present ones: highest first, the lowest current.
PortScan scanWindowsPorts(SerialLine &line, const QStringList &presentNames);
// The given paths first, in their order, the first of them current; then the
// system's ports, highest first, the lowest current when no given path opened.
PortScan scanDevicePorts(SerialLine &line, const QStringList &givenPaths);
// The scan of this platform: the Windows rule on Windows (of the given names
// only gateway addresses apply there, listed first), the device rule elsewhere.
PortScan scanPorts(SerialLine &line, const QStringList &givenPaths);

// Why a port did not open, in a few words ("no such device").
QString portErrorText(PortError error);

} // namespace serial

#pragma once

#include "engine/linesettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace serial {

// Why a port operation failed, in the system's own terms.
enum class PortError {
    None,
    NotFound,    // no such device
    Busy,        // held by another program (or access refused)
    NotOpen,     // the operation needs an open port
    Unsupported, // the port cannot take these settings
    Io,          // any other failure of the device
    Unreachable, // no gateway accepts a connection at that address
};

// Which way bytes went, for the trace of what the line really carried.
enum class Direction { Sent, Received };

// Flow control of the line.
enum class Handshake { None = 0, XonXoff = 1, RtsCts = 2, RtsCtsXonXoff = 3 };

// The one serial port of the main window: exactly the operations the tool
// needs of it. One implementation drives QSerialPort, one a TCP gateway;
// tests put a fake in.
class SerialLine : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialLine() override = default;

    // The device to open: "COM3" on Windows, a device path elsewhere, or a
    // gateway address ("rtu-tcp://HOST:PORT"). Only changed while closed.
    virtual void setPortName(const QString &name) = 0;
    virtual QString portName() const = 0;

    // Opens the device with the current settings and handshaking.
    virtual PortError open() = 0;
    // The same without waiting: openFinished() follows on a later turn of the
    // event loop. A line whose open() never waits just calls it.
    virtual void openLater();
    // Closing a closed port is no error.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Takes effect at once while open; kept for the next open while closed.
    // Fails for settings the port cannot take, which then keeps its own.
    virtual PortError applySettings(const engine::LineSettings &settings) = 0;
    virtual PortError setHandshaking(Handshake handshake) = 0;
    // Binary input, buffer sizes, receive event from the first byte on.
    virtual void configureBuffers(int inputBufferSize, int outputBufferSize) = 0;

    // Queues the whole frame; fails while closed.
    virtual PortError write(const QByteArray &bytes) = 0;
    // Takes every waiting byte out of the input.
    virtual QByteArray readAll() = 0;
    // Throws away everything received so far, in the driver too.
    virtual void discardInput() = 0;

    // Whether what is written takes its line time on this line before the far
    // end has it (a UART does; a pseudo-terminal hands it over at once).
    virtual bool pacedByLine() const { return true; }

    // The bytes as they really go over the wire, for the trace. Sent: what the
    // next write() of this frame puts on the wire. Received: what came in for
    // the bytes readAll() has handed out since the last write(). A line that
    // carries the frames as they are gives them back unchanged.
    virtual QByteArray wireForm(const QByteArray &bytes, Direction direction) const
    {
        Q_UNUSED(direction);
        return bytes;
    }

    // Wire bytes received since the last write() that readAll() never handed
    // out, for the trace: replies to another transaction behind a gateway.
    virtual QByteArray unclaimedWire() const { return {}; }

signals:
    // Data received: at least one byte is waiting. Delivered on the UI thread.
    void received();
    // The device went away while open (unplugged, far end closed): the port
    // has closed itself. Delivered on the UI thread, after the fact.
    void lost();
    // How an openLater() ended.
    void openFinished(serial::PortError error);
};

} // namespace serial

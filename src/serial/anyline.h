#pragma once

#include "serial/serialline.h"

#include <QPointer>

#include <memory>
#include <optional>

namespace serial {

// A closed line of the kind the port name asks for, named after it: a TCP
// gateway line for "rtu-tcp://HOST:PORT" and "modbus-tcp://HOST:PORT", the
// serial line of a device for any other name.
std::unique_ptr<SerialLine> makeLine(const QString &portName);

// The main window's one port, whatever kind of line the current port name
// asks for: it forwards to a line made by makeLine() and makes a new one when
// a name of the other kind is chosen. The settings, handshaking and buffer
// sizes it was given go to every line it makes.
class AnyLine : public SerialLine
{
    Q_OBJECT
public:
    explicit AnyLine(QObject *parent = nullptr);
    ~AnyLine() override;

    // Ignored while open, as on every line.
    void setPortName(const QString &name) override;
    QString portName() const override;

    PortError open() override;
    void close() override;
    bool isOpen() const override;

    PortError applySettings(const engine::LineSettings &settings) override;
    PortError setHandshaking(Handshake handshake) override;
    void configureBuffers(int inputBufferSize, int outputBufferSize) override;

    PortError write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    void discardInput() override;
    QByteArray wireForm(const QByteArray &bytes, Direction direction) const override;
    QByteArray unclaimedWire() const override;
    bool pacedByLine() const override;

    // The line the calls go to now.
    SerialLine &current() const { return *m_line; }

private:
    void adopt(std::unique_ptr<SerialLine> line);

    // A child of this line; one that is replaced is deleted on the next turn,
    // since the replacement may happen while it is still emitting a signal.
    QPointer<SerialLine> m_line;
    bool m_gateway = false;
    std::optional<engine::LineSettings> m_settings;
    std::optional<Handshake> m_handshaking;
    std::optional<std::pair<int, int>> m_buffers;
};

} // namespace serial

#pragma once

#include "serial/serialline.h"

#include <QSerialPort>

namespace serial {

// The tool's serial port on a real device, driven through QSerialPort.
class QtSerialLine : public SerialLine
{
    Q_OBJECT
public:
    explicit QtSerialLine(QObject *parent = nullptr);
    ~QtSerialLine() override;

    // Ignored while open: the port is closed before another one is chosen.
    void setPortName(const QString &name) override;
    QString portName() const override;

    PortError open() override;
    void close() override;
    // False as soon as the device has been found gone.
    bool isOpen() const override;

    PortError applySettings(const engine::LineSettings &settings) override;
    PortError setHandshaking(Handshake handshake) override;
    void configureBuffers(int inputBufferSize, int outputBufferSize) override;

    PortError write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    void discardInput() override;
    // A pseudo-terminal has no UART: what is written is there at once.
    bool pacedByLine() const override;

    // The settings the port runs with while open, or gets at the next open.
    engine::LineSettings settings() const { return m_settings; }
    Handshake handshaking() const { return m_handshaking; }
    int inputBufferSize() const { return m_inputBufferSize; }
    int outputBufferSize() const { return m_outputBufferSize; }

    // Settings this platform's serial driver cannot take on any device.
    static bool platformRefuses(const engine::LineSettings &settings);
    // The one translation of QSerialPort's errors into ours.
    static PortError toPortError(QSerialPort::SerialPortError error);

private:
    PortError takeError();
    bool pushSettings(const engine::LineSettings &settings);
    void onPortError(QSerialPort::SerialPortError error);
    void deviceGone();

    QSerialPort m_port;
    QString m_name;
    engine::LineSettings m_settings;
    Handshake m_handshaking = Handshake::None;
    int m_inputBufferSize = 0;
    int m_outputBufferSize = 0;
    bool m_lost = false; // the device went away; the port closes on the next turn
};

} // namespace serial

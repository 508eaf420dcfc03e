#pragma once

#include "serial/linesettings.h"
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

    PortError applySettings(const QString &settingsText) override;
    PortError setHandshaking(int mode) override;
    void configureBuffers(int inputBufferSize, int outputBufferSize) override;

    PortError write(const QByteArray &bytes) override;
    int bytesWaiting() const override;
    QByteArray read(int n) override;
    void discardInput() override;

    // The settings the port runs with while open, or gets at the next open.
    LineSettings settings() const { return m_settings; }
    int handshaking() const { return m_handshaking; }
    int inputBufferSize() const { return m_inputBufferSize; }
    int outputBufferSize() const { return m_outputBufferSize; }
    // The driver's own words for the last failure, for diagnostics.
    QString errorText() const { return m_errorText; }

    // Settings this platform's serial driver cannot take on any device.
    static bool platformRefuses(const LineSettings &settings);
    // The one translation of QSerialPort's errors into ours.
    static PortError toPortError(QSerialPort::SerialPortError error);

private:
    PortError takeError();
    bool pushSettings(const LineSettings &settings);
    void onPortError(QSerialPort::SerialPortError error);
    void deviceGone();

    QSerialPort m_port;
    QString m_name;
    LineSettings m_settings;
    int m_handshaking = 0;
    int m_inputBufferSize = 0;
    int m_outputBufferSize = 0;
    bool m_lost = false; // the device went away; the port closes on the next turn
    QString m_errorText;
};

} // namespace serial

#include "serial/qtserialline.h"

#include "serial/pseudoterminal.h"

#include <QMetaObject>

namespace serial {

namespace {

using engine::LineSettings;
using engine::Parity;
using engine::StopBits;

QSerialPort::Parity toQt(Parity parity)
{
    switch (parity) {
    case Parity::Odd: return QSerialPort::OddParity;
    case Parity::Even: return QSerialPort::EvenParity;
    case Parity::Mark: return QSerialPort::MarkParity;
    case Parity::Space: return QSerialPort::SpaceParity;
    case Parity::None: break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(StopBits stopBits)
{
    switch (stopBits) {
    case StopBits::OneAndHalf: return QSerialPort::OneAndHalfStop;
    case StopBits::Two: return QSerialPort::TwoStop;
    case StopBits::One: break;
    }
    return QSerialPort::OneStop;
}

QSerialPort::DataBits toQtDataBits(int dataBits)
{
    switch (dataBits) {
    case 5: return QSerialPort::Data5;
    case 6: return QSerialPort::Data6;
    case 7: return QSerialPort::Data7;
    default: return QSerialPort::Data8;
    }
}

QSerialPort::FlowControl flowControlFor(Handshake handshake)
{
    switch (handshake) {
    case Handshake::XonXoff: return QSerialPort::SoftwareControl;
    case Handshake::RtsCts: return QSerialPort::HardwareControl;
    // QSerialPort runs one flow control at a time. RTS/CTS is the half kept:
    // it only holds the line, whereas XON/XOFF also swallows the bytes 0x11
    // and 0x13 wherever they occur in a binary Modbus frame.
    case Handshake::RtsCtsXonXoff: return QSerialPort::HardwareControl;
    case Handshake::None: break;
    }
    return QSerialPort::NoFlowControl;
}

} // namespace

QtSerialLine::QtSerialLine(QObject *parent)
    : SerialLine(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLine::received);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialLine::onPortError);
}

QtSerialLine::~QtSerialLine()
{
    close();
}

void QtSerialLine::setPortName(const QString &name)
{
    if (!isOpen())
        m_name = name;
}

QString QtSerialLine::portName() const
{
    return m_name;
}

PortError QtSerialLine::open()
{
    if (m_lost)
        close(); // gone but not yet let go: start afresh
    if (isOpen())
        return PortError::None;
    if (m_name.isEmpty()) // QSerialPort would try to open the folder /dev
        return PortError::NotFound;
    m_port.clearError();
    m_port.setPortName(m_name);
    // While closed these are only stored; QSerialPort applies them when it opens.
    pushSettings(m_settings);
    m_port.setFlowControl(flowControlFor(m_handshaking));
    if (!m_port.open(QIODevice::ReadWrite))
        return takeError();
    m_lost = false;
    return PortError::None;
}

void QtSerialLine::close()
{
    m_lost = false;
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool QtSerialLine::isOpen() const
{
    return !m_lost && m_port.isOpen();
}

PortError QtSerialLine::applySettings(const LineSettings &settings)
{
    if (settings.baud <= 0 || settings.dataBits < 5 || settings.dataBits > 8 || platformRefuses(settings))
        return PortError::Unsupported;
    if (!pushSettings(settings)) {
        const PortError error = takeError();
        pushSettings(m_settings); // the port keeps running as before
        m_port.clearError();
        return error;
    }
    m_settings = settings;
    return PortError::None;
}

PortError QtSerialLine::setHandshaking(Handshake handshake)
{
    if (!m_port.setFlowControl(flowControlFor(handshake))) {
        const PortError error = takeError();
        m_port.setFlowControl(flowControlFor(m_handshaking));
        m_port.clearError();
        return error;
    }
    m_handshaking = handshake;
    return PortError::None;
}

void QtSerialLine::configureBuffers(int inputBufferSize, int outputBufferSize)
{
    m_inputBufferSize = qMax(0, inputBufferSize);
    m_outputBufferSize = qMax(0, outputBufferSize);
    // Input beyond this stays in the driver until read, as with a full
    // receive buffer. QSerialPort's output queue grows as needed, so the output
    // size is only kept: no frame of this tool comes near it.
    m_port.setReadBufferSize(m_inputBufferSize);
}

PortError QtSerialLine::write(const QByteArray &bytes)
{
    if (!isOpen())
        return PortError::NotOpen;
    if (bytes.isEmpty())
        return PortError::None;
    m_port.clearError();
    const qint64 queued = m_port.write(bytes);
    // Hand the frame to the driver now instead of on the next turn of the
    // event loop, so that a failing device is reported by this call.
    m_port.flush();
    if (queued != bytes.size() || m_port.error() != QSerialPort::NoError) {
        const QSerialPort::SerialPortError cause = m_port.error();
        const PortError error = takeError();
        if (cause == QSerialPort::ResourceError || cause == QSerialPort::WriteError)
            deviceGone();
        return error == PortError::None ? PortError::Io : error;
    }
    return PortError::None;
}

QByteArray QtSerialLine::readAll()
{
    return isOpen() ? m_port.readAll() : QByteArray();
}

void QtSerialLine::discardInput()
{
    if (!isOpen())
        return;
    // What the driver holds and what QSerialPort has already buffered.
    m_port.clear(QSerialPort::Input);
    m_port.readAll();
}

bool QtSerialLine::pacedByLine() const
{
#if defined(Q_OS_UNIX)
    // The handle is a descriptor only here.
    if (isOpen() && isPseudoTerminal(static_cast<int>(m_port.handle())))
        return false;
#endif
    return true;
}

bool QtSerialLine::pushSettings(const LineSettings &settings)
{
    // Each setter applies at once while open and only stores while closed;
    // every one is tried so that a restore after a refusal is complete.
    bool ok = m_port.setBaudRate(settings.baud);
    ok = m_port.setDataBits(toQtDataBits(settings.dataBits)) && ok;
    ok = m_port.setParity(toQt(settings.parity)) && ok;
    ok = m_port.setStopBits(toQt(settings.stopBits)) && ok;
    return ok;
}

bool QtSerialLine::platformRefuses(const LineSettings &settings)
{
#if defined(Q_OS_WIN)
    // The Windows driver takes 1.5 stop bits only with 5 data bits, and
    // 2 stop bits only with 6 to 8.
    if (settings.stopBits == StopBits::OneAndHalf)
        return settings.dataBits != 5;
    return settings.stopBits == StopBits::Two && settings.dataBits == 5;
#else
    // termios knows no 1.5 stop bits; QSerialPort would quietly send one.
    if (settings.stopBits == StopBits::OneAndHalf)
        return true;
#  if !defined(Q_OS_LINUX)
    // Mark and space parity need CMSPAR, which only Linux offers.
    if (settings.parity == Parity::Mark || settings.parity == Parity::Space)
        return true;
#  endif
    return false;
#endif
}

PortError QtSerialLine::toPortError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return PortError::None;
    case QSerialPort::DeviceNotFoundError:
        return PortError::NotFound;
    // A device held by another program shows as a lock file QSerialPort could
    // not take, as refused exclusive access, or as an open that is refused.
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
        return PortError::Busy;
    case QSerialPort::NotOpenError:
        return PortError::NotOpen;
    case QSerialPort::UnsupportedOperationError:
        return PortError::Unsupported;
    default:
        return PortError::Io;
    }
}

PortError QtSerialLine::takeError()
{
    const QSerialPort::SerialPortError error = m_port.error();
    m_port.clearError();
    return toPortError(error);
}

void QtSerialLine::onPortError(QSerialPort::SerialPortError error)
{
    if (m_lost || !m_port.isOpen())
        return;
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
        deviceGone();
}

void QtSerialLine::deviceGone()
{
    if (m_lost)
        return;
    // The device went away (USB unplugged, pseudo-terminal closed). QSerialPort
    // keeps its read notifier armed and would report the same error on every
    // turn of the event loop, so the device is let go at once. Closing is
    // deferred because this may run inside QSerialPort's own notification.
    m_lost = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_lost)
                return;
            m_port.close();
            m_port.clearError();
            m_lost = false;
            emit lost();
        },
        Qt::QueuedConnection);
}

} // namespace serial

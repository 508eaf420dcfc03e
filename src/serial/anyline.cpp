#include "serial/anyline.h"

#include "serial/qtserialline.h"
#include "serial/tcpline.h"

namespace serial {

std::unique_ptr<SerialLine> makeLine(const QString &portName)
{
    std::unique_ptr<SerialLine> line;
    if (isGatewayName(portName))
        line = std::make_unique<TcpLine>();
    else
        line = std::make_unique<QtSerialLine>();
    line->setPortName(portName);
    return line;
}

AnyLine::AnyLine(QObject *parent)
    : SerialLine(parent)
{
    adopt(makeLine(QString()));
}

AnyLine::~AnyLine()
{
    close();
}

void AnyLine::setPortName(const QString &name)
{
    if (isOpen())
        return;
    if (isGatewayName(name) == m_gateway) {
        m_line->setPortName(name);
        return;
    }
    m_line->close();
    m_line->disconnect(this);
    m_line->deleteLater();
    adopt(makeLine(name));
}

void AnyLine::adopt(std::unique_ptr<SerialLine> line)
{
    m_gateway = isGatewayName(line->portName());
    m_line = line.release();
    m_line->setParent(this);
    connect(m_line, &SerialLine::received, this, &SerialLine::received);
    connect(m_line, &SerialLine::lost, this, &SerialLine::lost);
    // A line of the other kind takes over what the window set; one it cannot
    // take keeps its own, as a refused setting always does.
    if (m_settings)
        m_line->applySettings(*m_settings);
    if (m_handshaking)
        m_line->setHandshaking(*m_handshaking);
    if (m_buffers)
        m_line->configureBuffers(m_buffers->first, m_buffers->second);
}

QString AnyLine::portName() const
{
    return m_line->portName();
}

PortError AnyLine::open()
{
    return m_line->open();
}

void AnyLine::close()
{
    m_line->close();
}

bool AnyLine::isOpen() const
{
    return m_line->isOpen();
}

PortError AnyLine::applySettings(const engine::LineSettings &settings)
{
    const PortError error = m_line->applySettings(settings);
    if (error == PortError::None)
        m_settings = settings;
    return error;
}

PortError AnyLine::setHandshaking(Handshake handshake)
{
    const PortError error = m_line->setHandshaking(handshake);
    if (error == PortError::None)
        m_handshaking = handshake;
    return error;
}

void AnyLine::configureBuffers(int inputBufferSize, int outputBufferSize)
{
    m_line->configureBuffers(inputBufferSize, outputBufferSize);
    m_buffers = std::pair(inputBufferSize, outputBufferSize);
}

PortError AnyLine::write(const QByteArray &bytes)
{
    return m_line->write(bytes);
}

QByteArray AnyLine::readAll()
{
    return m_line->readAll();
}

void AnyLine::discardInput()
{
    m_line->discardInput();
}

bool AnyLine::pacedByLine() const
{
    return m_line->pacedByLine();
}

QByteArray AnyLine::unclaimedWire() const
{
    return m_line->unclaimedWire();
}

QByteArray AnyLine::wireForm(const QByteArray &bytes, Direction direction) const
{
    return m_line->wireForm(bytes, direction);
}

} // namespace serial

#include "serial/tcpline.h"

#include "codec/mbap.h"
#include "serial/qtserialline.h"

#include <QMetaObject>

#include <span>

namespace serial {

namespace {

std::span<const std::uint8_t> asBytes(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

QByteArray toByteArray(const std::vector<std::uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

} // namespace

bool isGatewayName(const QString &name)
{
    return codec::IsGatewayName(name.toStdString());
}

std::optional<codec::GatewayAddress> parseGatewayName(const QString &name)
{
    return codec::ParseGatewayName(name.toStdString()).address;
}

TcpLine::TcpLine(QObject *parent)
    : SerialLine(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpLine::onReadyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpLine::onSocketError);
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_open)
            connectionGone();
    });
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        if (m_connecting)
            connectionMade();
    });
    m_connectLimit.setSingleShot(true);
    connect(&m_connectLimit, &QTimer::timeout, this, [this] {
        if (m_connecting)
            openFailed(PortError::Unreachable);
    });
}

TcpLine::~TcpLine()
{
    close();
}

void TcpLine::setPortName(const QString &name)
{
    if (isOpen())
        return;
    m_name = name;
    m_address = parseGatewayName(name);
}

QString TcpLine::portName() const
{
    return m_name;
}

PortError TcpLine::open()
{
    if (m_lost)
        close(); // gone but not yet let go: start afresh
    if (isOpen())
        return PortError::None;
    if (!m_address)
        return PortError::NotFound;
    m_socket.abort();
    m_socket.connectToHost(QString::fromStdString(m_address->host), m_address->port);
    if (!m_socket.waitForConnected(ConnectTimeoutMs)) {
        const QAbstractSocket::SocketError error = m_socket.error();
        m_socket.abort();
        return toPortError(error);
    }
    connectionMade();
    return PortError::None;
}

void TcpLine::openLater()
{
    if (m_lost)
        close();
    if (isOpen() || !m_address) {
        const PortError error = isOpen() ? PortError::None : PortError::NotFound;
        QMetaObject::invokeMethod(this, [this, error] { emit openFinished(error); }, Qt::QueuedConnection);
        return;
    }
    m_socket.abort();
    m_connecting = true;
    m_connectLimit.start(ConnectTimeoutMs);
    m_socket.connectToHost(QString::fromStdString(m_address->host), m_address->port);
}

void TcpLine::connectionMade()
{
    // A request is one small frame that must go now, not when more would fill a segment.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    resetExchange();
    m_nextTransaction = 1;
    m_open = true;
    m_lost = false;
    if (m_connecting) {
        m_connecting = false;
        m_connectLimit.stop();
        emit openFinished(PortError::None);
    }
}

void TcpLine::openFailed(PortError error)
{
    m_connecting = false;
    m_connectLimit.stop();
    m_socket.abort();
    emit openFinished(error);
}

void TcpLine::close()
{
    // Cleared first: the disconnect that abort() reports is not a lost line.
    m_open = false;
    m_lost = false;
    // An open still waiting for the gateway ends too, so that nobody waits on it for ever.
    if (m_connecting)
        openFailed(PortError::NotOpen);
    m_socket.abort();
    resetExchange();
}

bool TcpLine::isOpen() const
{
    return m_open && !m_lost;
}

PortError TcpLine::applySettings(const engine::LineSettings &settings)
{
    if (settings.baud <= 0 || settings.dataBits < 5 || settings.dataBits > 8 || QtSerialLine::platformRefuses(settings))
        return PortError::Unsupported;
    m_settings = settings;
    return PortError::None;
}

PortError TcpLine::setHandshaking(Handshake handshake)
{
    m_handshaking = handshake;
    return PortError::None;
}

void TcpLine::configureBuffers(int, int)
{
    // Nothing to size: the window reads all there is at each receive event,
    // and a socket that stopped reading at a limit would also stop noticing a
    // gateway that has gone.
}

PortError TcpLine::write(const QByteArray &bytes)
{
    if (!isOpen())
        return PortError::NotOpen;
    if (bytes.isEmpty())
        return PortError::None;
    const QByteArray wire = wireForm(bytes, Direction::Sent);
    if (wire.isEmpty())
        return PortError::Io; // too short for a Modbus TCP request
    const qint64 queued = m_socket.write(wire);
    // Out now, so that a connection already gone is reported by this call.
    m_socket.flush();
    if (queued != wire.size() || m_socket.state() != QAbstractSocket::ConnectedState) {
        connectionGone();
        return PortError::Io;
    }
    m_handedOut.clear();
    m_otherWire.clear();
    if (m_address->framing == codec::GatewayFraming::Mbap) {
        m_awaited = m_nextTransaction;
        // Counted up per request; after 0xFFFF comes 0.
        ++m_nextTransaction;
    }
    return PortError::None;
}

QByteArray TcpLine::readAll()
{
    if (!isOpen())
        return {};
    if (m_address->framing == codec::GatewayFraming::Rtu)
        return m_socket.readAll();
    QByteArray input;
    for (const Delivered &reply : std::as_const(m_unread))
        input += reply.rtu;
    m_handedOut += m_unread;
    m_unread.clear();
    m_unreadBytes = 0;
    return input;
}

void TcpLine::discardInput()
{
    if (!isOpen())
        return;
    if (m_address->framing == codec::GatewayFraming::Rtu) {
        m_socket.readAll();
        return;
    }
    // Replies already whole go; a reply still arriving stays in the stream, so
    // that the framing holds: once whole, its transaction id tells it apart.
    m_stream += m_socket.readAll();
    takeAdus();
    m_unread.clear();
    m_unreadBytes = 0;
    m_otherWire.clear();
}

QByteArray TcpLine::wireForm(const QByteArray &bytes, Direction direction) const
{
    if (!m_address || m_address->framing == codec::GatewayFraming::Rtu)
        return bytes;
    if (direction == Direction::Sent)
        return toByteArray(codec::RtuToMbap(asBytes(bytes), m_nextTransaction));
    QByteArray rtu;
    QByteArray adus;
    for (const Delivered &reply : m_handedOut) {
        rtu += reply.rtu;
        adus += reply.adu;
    }
    return rtu == bytes ? adus : bytes;
}

PortError TcpLine::toPortError(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::NetworkError:
    case QAbstractSocket::RemoteHostClosedError:
        return PortError::Unreachable;
    case QAbstractSocket::SocketAccessError:
        return PortError::Busy;
    default:
        return PortError::Io;
    }
}

void TcpLine::onReadyRead()
{
    if (!isOpen())
        return;
    if (m_address->framing == codec::GatewayFraming::Rtu) {
        // Each segment is one receive event; the window's silence ends the reply.
        emit received();
        return;
    }
    m_stream += m_socket.readAll();
    const qsizetype before = m_unread.size();
    takeAdus();
    if (m_unread.size() > before)
        emit received();
}

void TcpLine::takeAdus()
{
    for (;;) {
        const codec::MbapCut cut = codec::CutMbapFront(asBytes(m_stream));
        if (cut.front == codec::MbapFront::Incomplete)
            return;
        const QByteArray adu = m_stream.left(static_cast<qsizetype>(cut.size));
        m_stream.remove(0, static_cast<qsizetype>(cut.size));
        if (cut.front != codec::MbapFront::Adu || !m_awaited)
            continue;
        // A reply to any other request than the last one is no reply to it;
        // it is kept only for the trace. Past a frame's worth of either, a
        // gateway that floods the line is not listened to.
        const codec::MbapDecoded reply = codec::MbapReplyToRtu(asBytes(adu), *m_awaited);
        if (reply.check != codec::MbapCheck::Good) {
            if (m_otherWire.size() < qsizetype(MaxKeptBytes))
                m_otherWire += adu;
        } else if (m_unreadBytes < MaxKeptBytes) {
            m_unread.append({adu, toByteArray(reply.rtu)});
            m_unreadBytes += reply.rtu.size();
        }
    }
}

void TcpLine::onSocketError(QAbstractSocket::SocketError error)
{
    if (m_connecting) {
        openFailed(toPortError(error));
        return;
    }
    if (!m_open || m_lost)
        return;
    // A connected socket reports time-outs only of waits it was asked for; every
    // other error ends the connection.
    if (error != QAbstractSocket::SocketTimeoutError && error != QAbstractSocket::TemporaryError)
        connectionGone();
}

void TcpLine::connectionGone()
{
    if (m_lost || !m_open)
        return;
    // The far end closed or the network failed: as an unplugged adapter, the
    // line lets go and says so. Deferred, because this may run inside the
    // socket's own notification.
    m_lost = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_lost)
                return;
            close();
            emit lost();
        },
        Qt::QueuedConnection);
}

QByteArray TcpLine::unclaimedWire() const
{
    return m_otherWire;
}

void TcpLine::resetExchange()
{
    m_awaited.reset();
    m_stream.clear();
    m_unread.clear();
    m_unreadBytes = 0;
    m_handedOut.clear();
    m_otherWire.clear();
}

} // namespace serial

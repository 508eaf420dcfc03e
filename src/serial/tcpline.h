#pragma once

#include "codec/gatewayaddress.h"
#include "serial/serialline.h"

#include <QByteArray>
#include <QList>
#include <QTcpSocket>
#include <QTimer>

#include <optional>

namespace serial {

// The codec's reading of gateway names, for Qt's strings: whether a port name
// names a gateway rather than a serial device (it need not be well formed to
// be one), and the address in a well-formed one.
bool isGatewayName(const QString &name);
std::optional<codec::GatewayAddress> parseGatewayName(const QString &name);

// A meter line through a TCP gateway, driven through QTcpSocket.
class TcpLine : public SerialLine
{
    Q_OBJECT
public:
    // Longest an open waits for the gateway to accept the connection.
    static constexpr int ConnectTimeoutMs = 2000;

    explicit TcpLine(QObject *parent = nullptr);
    ~TcpLine() override;

    // Ignored while open.
    void setPortName(const QString &name) override;
    QString portName() const override;

    // Connects, waiting at most ConnectTimeoutMs.
    PortError open() override;
    // Connects without waiting; openFinished() says how it went, at the
    // latest after ConnectTimeoutMs.
    void openLater() override;
    void close() override;
    // False as soon as the connection has been found gone.
    bool isOpen() const override;

    // Kept, and shown by the window, but nothing on the wire changes: the
    // gateway's own serial side has its settings. What a serial port of this
    // platform would refuse is refused here too, so the settings stay good
    // for the serial port the operator may switch to.
    PortError applySettings(const engine::LineSettings &settings) override;
    PortError setHandshaking(Handshake handshake) override;
    void configureBuffers(int inputBufferSize, int outputBufferSize) override;

    PortError write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    void discardInput() override;
    QByteArray wireForm(const QByteArray &bytes, Direction direction) const override;
    QByteArray unclaimedWire() const override;
    // What is written goes at once; the gateway's own line is its business.
    bool pacedByLine() const override { return false; }

    engine::LineSettings settings() const { return m_settings; }
    Handshake handshaking() const { return m_handshaking; }
    // The transaction id the next Modbus TCP request carries.
    quint16 nextTransactionId() const { return m_nextTransaction; }

    // The one translation of QTcpSocket's errors into ours.
    static PortError toPortError(QAbstractSocket::SocketError error);

private:
    // One reply as it came over the wire and as the window is given it.
    struct Delivered {
        QByteArray adu;
        QByteArray rtu;
    };

    void onReadyRead();
    void connectionMade();
    void openFailed(PortError error);
    void takeAdus();
    void onSocketError(QAbstractSocket::SocketError error);
    void connectionGone();
    void resetExchange();

    QTcpSocket m_socket;
    QString m_name;
    std::optional<codec::GatewayAddress> m_address;
    engine::LineSettings m_settings;
    Handshake m_handshaking = Handshake::None;
    bool m_open = false;
    bool m_lost = false; // the connection went away; the line closes on the next turn
    bool m_connecting = false; // an openLater() waits for the gateway
    QTimer m_connectLimit;

    // Modbus TCP only.
    quint16 m_nextTransaction = 1;
    std::optional<quint16> m_awaited; // the transaction of the last request written
    QByteArray m_stream;              // received, not yet cut into ADUs
    QList<Delivered> m_unread;        // replies waiting for readAll()
    QList<Delivered> m_handedOut;     // replies readAll() gave since the last write
    std::size_t m_unreadBytes = 0;    // of the replies in m_unread, as RTU frames
    QByteArray m_otherWire;           // other transactions' ADUs since the last write
    // More than a frame's worth of replies to one request is not kept.
    static constexpr std::size_t MaxKeptBytes = 512;
};

} // namespace serial

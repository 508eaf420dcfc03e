#include "codec/gatewayaddress.h"

#include <QtTest>

using codec::GatewayEnd;
using codec::GatewayFraming;
using codec::GatewayProblem;
Q_DECLARE_METATYPE(GatewayEnd)
Q_DECLARE_METATYPE(GatewayFraming)
Q_DECLARE_METATYPE(GatewayProblem)

// Gateway names as an operator types them, read the one way the window, the
// command line and the simulator all read them.
class TestGatewayAddress : public QObject
{
    Q_OBJECT
private slots:
    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<GatewayEnd>("end");
        QTest::addColumn<GatewayProblem>("problem");
        QTest::addColumn<GatewayFraming>("framing");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        // Rows are named by the input, and a note where the input alone does not say it all.
        const auto good = [](const QString &name, GatewayFraming framing, const char *host, int port,
                             GatewayEnd end = GatewayEnd::Client) {
            const char *note = end == GatewayEnd::Listener ? ", to listen on" : "";
            QTest::newRow(qPrintable(name + note)) << name << end << GatewayProblem::None << framing << QString(host) << port;
        };
        const auto bad = [](const QString &name, GatewayProblem problem, GatewayEnd end = GatewayEnd::Client,
                            const char *note = "") {
            const QString listening = end == GatewayEnd::Listener ? ", to listen on" : "";
            QTest::newRow(qPrintable(name + listening + note)) << name << end << problem << GatewayFraming::Rtu << QString() << 0;
        };
        using enum GatewayFraming;
        using enum GatewayProblem;
        good("rtu-tcp://127.0.0.1:4001", Rtu, "127.0.0.1", 4001);
        good("modbus-tcp://192.168.1.50:502", Mbap, "192.168.1.50", 502);
        good("modbus-tcp://[::1]:502", Mbap, "::1", 502);
        good("rtu-tcp://[FE80::A:1]:4001", Rtu, "fe80::a:1", 4001);
        good("rtu-tcp://[1:2:3:4:5:6:7:8]:1", Rtu, "1:2:3:4:5:6:7:8", 1);
        good("modbus-tcp://[::ffff:192.0.2.7]:502", Mbap, "::ffff:192.0.2.7", 502);
        good("modbus-tcp://gw-7.plant.example:65535", Mbap, "gw-7.plant.example", 65535);
        good("MODBUS-TCP://Gateway.Local:502/", Mbap, "gateway.local", 502);
        good("rtu-tcp://localhost:1", Rtu, "localhost", 1);
        good("rtu-tcp://127.0.0.1:0", Rtu, "127.0.0.1", 0, GatewayEnd::Listener);
        good("modbus-tcp://[::1]:0", Mbap, "::1", 0, GatewayEnd::Listener);

        bad("/dev/ttyUSB0", NotGateway);
        bad("COM3", NotGateway);
        bad("tcp://host:502", NotGateway);
        bad("rtu-tcp:/host:502", NotGateway);
        bad("rtu-tcp//host:502", NotGateway);
        bad("rtu-tcp://127.0.0.1", NoPort);
        bad("rtu-tcp://127.0.0.1:", NoPort);
        bad("modbus-tcp://[::1]", NoPort);
        bad("rtu-tcp://127.0.0.1/502", NoPort);
        bad("modbus-tcp://127.0.0.1:0", BadPort);
        bad("modbus-tcp://127.0.0.1:65536", BadPort);
        bad("modbus-tcp://127.0.0.1:70000", BadPort);
        bad("modbus-tcp://127.0.0.1:70000", BadPort, GatewayEnd::Listener);
        bad("modbus-tcp://127.0.0.1:99999999999999999999", BadPort);
        bad("modbus-tcp://127.0.0.1:+502", BadPort);
        bad("modbus-tcp://127.0.0.1:5O2", BadPort);
        bad("modbus-tcp://127.0.0.1:502 ", BadPort, GatewayEnd::Client, ", a space after the port");
        bad("modbus-tcp://127.0.0.1:502/unit/1", Trailing);
        bad("modbus-tcp://127.0.0.1:502//", Trailing);
        bad("modbus-tcp://127.0.0.1:502?unit=1", Trailing);
        bad("modbus-tcp://127.0.0.1:502#1", Trailing);
        bad("rtu-tcp://admin@127.0.0.1:4001", UserInfo);
        bad("modbus-tcp://:502", NoHost);
        bad("modbus-tcp://[]:502", NoHost);
        bad("rtu-tcp://", NoHost);
        bad("rtu-tcp://256.0.0.1:4001", BadHost);
        bad("rtu-tcp://127.0.0.01:4001", BadHost);
        bad("rtu-tcp://10.0.1:4001", BadHost);
        bad("rtu-tcp://::1:4001", BadHost, GatewayEnd::Client, ", IPv6 without brackets");
        bad("rtu-tcp://[::1:4001", BadHost);
        bad("rtu-tcp://[::1]4001", BadHost);
        bad("rtu-tcp://[127.0.0.1]:4001", BadHost);
        bad("rtu-tcp://[1::2::3]:4001", BadHost);
        bad("rtu-tcp://[12345::1]:4001", BadHost);
        bad("rtu-tcp://[1:2:3:4:5:6:7:8:9]:4001", BadHost);
        bad("rtu-tcp://[::1%eth0]:4001", BadHost);
        bad("rtu-tcp://-gw.local:4001", BadHost);
        bad("rtu-tcp://gw_1:4001", BadHost);
        bad("rtu-tcp://gw..local:4001", BadHost);
        bad("rtu-tcp://gw.local.:4001", BadHost);
        bad("rtu-tcp://gate way:4001", BadHost);
        bad("rtu-tcp://" + QString(64, 'a') + ":4001", BadHost, GatewayEnd::Client, ", a label of 64 letters");
    }

    void names()
    {
        QFETCH(QString, name);
        QFETCH(GatewayEnd, end);
        QFETCH(GatewayProblem, problem);
        QFETCH(GatewayFraming, framing);
        QFETCH(QString, host);
        QFETCH(int, port);
        const std::string text = name.toStdString();
        const auto parsed = codec::ParseGatewayName(text, end);
        QCOMPARE(parsed.problem, problem);
        QCOMPARE(parsed.address.has_value(), problem == GatewayProblem::None);
        QCOMPARE(codec::IsGatewayName(text), problem != GatewayProblem::NotGateway);
        if (!parsed.address) {
            const std::string reason = codec::GatewayProblemText(problem, end);
            QVERIFY2(reason.ends_with("; expected rtu-tcp://HOST:PORT or modbus-tcp://HOST:PORT"), reason.c_str());
            return;
        }
        QCOMPARE(parsed.address->framing, framing);
        QCOMPARE(QString::fromStdString(parsed.address->host), host);
        QCOMPARE(int(parsed.address->port), port);
        // The name the simulator prints for it is read back as the same address.
        QCOMPARE(codec::ParseGatewayName(codec::GatewayName(*parsed.address), end).address, parsed.address);
    }
};

QTEST_APPLESS_MAIN(TestGatewayAddress)
#include "tst_gatewayaddress.moc"

#include "simprocess.h"

#include "catalogue/catalogue.h"
#include "codec/crc16.h"
#include "codec/hexcode.h"
#include "engine/parameters.h"
#include "engine/replyend.h"
#include "engine/replyvalidation.h"
#include "engine/requestframe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QTcpServer>
#include <QtTest>

#include <algorithm>
#include <array>

namespace {

namespace cmd = catalogue::command;
using Bytes = std::vector<std::uint8_t>;

// The energies every simulated meter is started with.
const QStringList EnergyArguments = {"--energy", "1234.5677", "--import", "100.25", "--export", "7.5"};

Bytes withCrc(const char* hex)
{
    const auto bytes = QByteArray::fromHex(hex);
    Bytes frame(bytes.begin(), bytes.end());
    codec::AppendCrc16(frame);
    return frame;
}

// "Read Energy" of the "Tarvik CT" at address 1, and its reply with 1234.5677 kWh.
const Bytes ReadEnergyAt1 = withCrc("010401560002");
const Bytes EnergyReplyAt1 = withCrc("010404449A522B");

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

QString hexText(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()))
        .toHex(' ').toUpper();
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Timing is checked only from below, from the moment before the request went: a
// loaded machine delays what the test sees, it never hurries it. How much later
// things come is bench/'s business.

// The simulator keeps a character time in whole nanoseconds.
constexpr double RoundingMs = 0.001;

// Of the bytes `at`, those that came sooner than their pauses add up to after the
// request was started: the k-th pause of pauseMs comes before byte at[k].
QList<int> tooSoon(Clock::time_point sent, const std::vector<Arrival>& arrivals, const QList<int>& at, int pauseMs)
{
    QList<int> early;
    for (qsizetype k = 0; k < at.size(); ++k) {
        const auto i = static_cast<std::size_t>(at[k]);
        if (i >= arrivals.size() || msBetween(sent, arrivals[i].at) < static_cast<double>((k + 1) * pauseMs))
            early.append(at[k]);
    }
    return early;
}

// How the simulator's log states a reply's pacing: so many characters at a meter's line settings.
QString pacedText(std::size_t characters, double characterMs, const QString& line)
{
    return QString("(%1 ms at %2)").arg(static_cast<double>(characters) * characterMs, 0, 'f', 1).arg(line);
}

// A Modbus TCP request: the MBAP header with protocol 0, then unit id and PDU.
Bytes mbap(quint16 transaction, const char* unitAndPdu)
{
    const auto body = QByteArray::fromHex(unitAndPdu);
    QByteArray frame;
    frame.append(char(transaction >> 8)).append(char(transaction & 0xFF)).append(2, '\0');
    frame.append(char(body.size() >> 8)).append(char(body.size() & 0xFF)).append(body);
    return Bytes(frame.begin(), frame.end());
}

Bytes hexBytes(const char* hex)
{
    const auto bytes = QByteArray::fromHex(hex);
    return Bytes(bytes.begin(), bytes.end());
}

Bytes joined(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// The same meters behind both kinds of TCP listener; Morel-K's own line settings count for nothing there.
const QStringList TcpMeters = {"--meter", "Tarvik CT@1", "--meter", "Morel-K@17,19200,even,2"};

std::vector<std::string_view> commandsOf(std::string_view meterType)
{
    return catalogue::CommandsOf(meterType)->commands;
}

// Every meter type on one line, at addresses 1..11 in list order.
int addressOf(std::string_view meterType)
{
    const auto& names = catalogue::MeterTypeNames;
    return static_cast<int>(std::find(names.begin(), names.end(), meterType) - names.begin()) + 1;
}

// The request the tool sends for a command; without a value, one that leaves
// the meter's address and line as they are.
Bytes catalogueRequest(std::string_view meterType, std::string_view command, int address, std::string value = {})
{
    engine::OperationState state;
    const auto kind = catalogue::GetFrameKind(meterType, command);
    std::string second;
    if (value.empty() && command == cmd::ModifyMeterAddress)
        value = std::to_string(address);
    else if (value.empty() && command == cmd::ModifyBaudRate)
        value = "9600";
    else if (command == cmd::ModifyParity)
        std::tie(value, second) = std::pair{value.empty() ? "NONE" : value, "1"};
    else if (command == cmd::SetCt)
        std::tie(value, second) = std::pair{"100", "5"};
    const int code = value.empty() ? 0 : engine::AcceptParameter(state, meterType, command, kind, value, second).code;
    engine::TariffBytes tariff{};
    tariff[0] = {0x01, 0x30, 0x08};
    return engine::BuildRequestFrame(kind, command, catalogue::Find_Code(meterType, command)->request,
                                     static_cast<std::uint8_t>(address), code,
                                     {0x58, 0x59, 0x23, 0x01, 0x31, 0x12, 0x24, 0x20}, tariff);
}

// The registers of a meter type as the independent peer is given them: the
// energies in the type's encoding, and the written registers.
QJsonObject peerRegisters(std::string_view meterType)
{
    QJsonObject holding;
    QJsonObject input;
    const auto encoding = catalogue::EnergyEncodingOf(meterType);
    for (const auto command : commandsOf(meterType)) {
        const auto code = codec::HexCodeToBytes(catalogue::Find_Code(meterType, command)->request);
        const int start = code[2] << 8 | code[3];
        if (code[1] == 0x10) {
            for (int i = 0; i < (code[4] << 8 | code[5]); ++i)
                holding[QString::number(start + i)] = 0;
            continue;
        }
        // 1234.5677 kWh as a single, in tenths or in hundredths; 100.25 and 7.5 kWh as singles.
        const std::array<int, 2> total = encoding == catalogue::EnergyEncoding::Single         ? std::array{0x449A, 0x522B}
                                         : encoding == catalogue::EnergyEncoding::ScaledTenths ? std::array{0x0000, 0x303A}
                                                                                               : std::array{0x0001, 0xE241};
        const auto words = command == cmd::ReadImportEnergy ? std::array{0x42C8, 0x8000}
                           : command == cmd::ReadExportEnergy ? std::array{0x40F0, 0x0000} : total;
        auto& regs = code[1] == 0x03 ? holding : input;
        regs[QString::number(start)] = words[0];
        regs[QString::number(start + 1)] = words[1];
    }
    return {{"holding", holding}, {"input", input}};
}

struct PeerCase {
    QString name;
    std::string_view meterType;
    Bytes request;
    Bytes reply = {}; // as pymodbus gives it
};

// Every command of every meter type, then requests a Modbus slave refuses.
std::vector<PeerCase> peerCases()
{
    std::vector<PeerCase> cases;
    for (const auto meterType : catalogue::MeterTypeNames)
        for (const auto command : commandsOf(meterType)) {
            const auto request = catalogueRequest(meterType, command, addressOf(meterType));
            cases.push_back({QString("%1@%2 %3: %4").arg(text(meterType)).arg(addressOf(meterType))
                                 .arg(text(command), hexText(request)), meterType, request});
        }
    const std::vector<PeerCase> refusals = {
        {"01 04 00 00 00 02: no such input register", "Tarvik CT", withCrc("010400000002")},
        {"01 04 01 56 00 03: count runs past the energy", "Tarvik CT", withCrc("010401560003")},
        {"01 04 01 56 00 00: count 0", "Tarvik CT", withCrc("010401560000")},
        {"01 04 01 56 00 7E: count over 125", "Tarvik CT", withCrc("01040156007E")},
        {"01 04 00 48 00 02: import energy is Corvi Link's only", "Tarvik CT", withCrc("010400480002")},
        {"01 03 01 56 00 02: energy is no holding register", "Tarvik CT", withCrc("010301560002")},
        {"07 10 01 56 00 02 04 ...: no writing the energy", "Corvi Link", withCrc("0710015600020400000000")},
        {"01 41: unknown function", "Tarvik CT", withCrc("0141")},
    };
    cases.insert(cases.end(), refusals.begin(), refusals.end());
    return cases;
}

// One run of the pymodbus helper over all cases fills in their replies.
QString askPymodbus(std::vector<PeerCase>& cases)
{
    QJsonArray list;
    for (const auto& c : cases) {
        auto entry = peerRegisters(c.meterType);
        entry["unit"] = addressOf(c.meterType);
        entry["request"] = hexText(c.request).remove(' ');
        list.append(entry);
    }
    QProcess python;
    python.start(QStringLiteral(QUORVANE_PYTHON), {QFINDTESTDATA("pymodbus_answer.py")});
    python.write(QJsonDocument(list).toJson(QJsonDocument::Compact));
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return "pymodbus helper failed: " + QString::fromUtf8(python.readAllStandardError());
    const auto answers = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    if (answers.size() != static_cast<qsizetype>(cases.size()))
        return "pymodbus helper answered " + QString::number(answers.size()) + " cases";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto reply = QByteArray::fromHex(answers[static_cast<qsizetype>(i)].toString().toLatin1());
        if (reply.isEmpty())
            return "pymodbus gave no reply to " + cases[i].name;
        cases[i].reply.assign(reply.begin(), reply.end());
    }
    return {};
}

} // namespace

// quorvane-sim seen from the tool's side of its pseudo-terminal, and as a client of its TCP listener.
class TestSimulator : public QObject {
    Q_OBJECT
    SimProcess m_all; // every meter type on one line
    SimProcess m_rtuTcp;
    SimProcess m_modbusTcp;
    std::vector<PeerCase> m_peerCases;

    void start(SimProcess& sim, const QStringList& extra) { QVERIFY2(sim.start(EnergyArguments + extra), qPrintable(sim.error())); }

private slots:
    void initTestCase()
    {
        m_peerCases = peerCases();
        const QString failure = askPymodbus(m_peerCases);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QStringList args;
        for (const auto name : catalogue::MeterTypeNames)
            args << "--meter" << text(name) + "@" + QString::number(addressOf(name));
        start(m_all, args);
        start(m_rtuTcp, TcpMeters + QStringList{"--listen", "rtu-tcp://127.0.0.1:0"});
        start(m_modbusTcp, TcpMeters + QStringList{"--listen", "modbus-tcp://127.0.0.1:0"});
    }

    void cleanupTestCase()
    {
        QCOMPARE(m_all.stop(), 0);
        QCOMPARE(m_rtuTcp.stop(), 0);
        QCOMPARE(m_modbusTcp.stop(), 0);
    }

    // Every command of every meter type and the refusals, as pymodbus answers them; then
    // where the meters differ from a generic slave: the scaled energies, what a
    // setting means, which register space their type has, when they stay silent.
    void answers_data()
    {
        QTest::addColumn<Bytes>("request");
        QTest::addColumn<Bytes>("reply"); // empty: no reply
        for (const auto& c : m_peerCases)
            QTest::newRow(qPrintable(c.name)) << c.request << c.reply;
        QTest::newRow("04 03 01 1E 00 02: Morel-K 12346 tenths") << withCrc("0403011E0002") << withCrc("0403040000303A");
        QTest::newRow("06 03 01 1E 00 02: Pesca-K 123457 hundredths") << withCrc("0603011E0002") << withCrc("060304 0001E241");
        QTest::newRow("03 04 01 56 00 02: Morel-N reads nothing") << withCrc("030401560002") << withCrc("038401");
        QTest::newRow("04 10 01 1E 00 02 04 ...: Morel-K energy is read-only")
            << withCrc("0410011E00020400000000") << withCrc("049002");
        QTest::newRow("01 10 00 1C 00 02 04 40 A0 00 00: 1200 baud is not for Tarvik CT")
            << withCrc("0110001C00020440A00000") << withCrc("019003");
        QTest::newRow("01 10 00 14 00 02 04 00 00 00 00: address 0") << withCrc("0110001400020400000000") << withCrc("019003");
        QTest::newRow("01 10 00 14 00 02 04 40 20 00 00: address 2.5") << withCrc("0110001400020440200000") << withCrc("019003");
        QTest::newRow("03 10 F6 00 00 01 02 00 F8: Morel-N address 248") << withCrc("0310F60000010200F8") << withCrc("039003");
        QTest::newRow("01 10 00 12 00 02 04 40 80 00 00: parity code 4") << withCrc("0110001200020440800000") << withCrc("019003");
        QTest::newRow("04 10 F9 00 00 01 02 00 1B: CT code 27") << withCrc("0410F900000102001B") << withCrc("049003");
        QTest::newRow("01 06 00 1C 00 02: no single-register writes") << withCrc("0106001C0002") << withCrc("018601");
        QTest::newRow("01 10 00 14 00 02 02 ...: byte count 2 for two registers")
            << withCrc("011000140002024000") << withCrc("019003");
        QTest::newRow("01 04 01 56 00 02 27 90: CRC high byte first") << Bytes{1, 4, 1, 0x56, 0, 2, 0x27, 0x90} << Bytes{};
        QTest::newRow("2A 04 01 56 00 02: no meter at 42") << withCrc("2A0401560002") << Bytes{};
        QTest::newRow("00 10 00 1C 00 02 04 40 00 00 00: broadcast write") << withCrc("0010001C00020440000000") << Bytes{};
        QTest::newRow("FF FF FF: noise") << Bytes{0xFF, 0xFF, 0xFF} << Bytes{};
    }

    void answers()
    {
        QFETCH(Bytes, request);
        QFETCH(Bytes, reply);
        m_all.send(request);
        QCOMPARE(hexText(BytesOf(m_all.receive(std::max<std::size_t>(reply.size(), 1), reply.empty() ? 400ms : 2s))),
                 hexText(reply));
        // The line is in step again for the next request.
        m_all.send(ReadEnergyAt1);
        QCOMPARE(hexText(BytesOf(m_all.receive(EnergyReplyAt1.size(), 2s))), hexText(EnergyReplyAt1));
    }

    void addressChangeAfterReply_data()
    {
        QTest::addColumn<QString>("meterType");
        QTest::addColumn<Bytes>("probe"); // at the new address 5
        QTest::addColumn<Bytes>("reply");
        QTest::newRow("Tarvik CT: 0x0014 as a single") << "Tarvik CT" << withCrc("050401560002") << withCrc("050404449A522B");
        QTest::newRow("Morel-K: 0x000F") << "Morel-K" << withCrc("0503011E0002") << withCrc("0503040000303A");
        // Read back: the written register holds the new address.
        QTest::newRow("Morel-N: 0xF600") << "Morel-N" << withCrc("0503F6000001") << withCrc("0503020005");
    }

    void addressChangeAfterReply()
    {
        QFETCH(QString, meterType);
        QFETCH(Bytes, probe);
        QFETCH(Bytes, reply);
        SimProcess sim;
        start(sim, {"--meter", meterType + "@1"});
        sim.send(catalogueRequest(meterType.toStdString(), cmd::ModifyMeterAddress, 1, "5"));
        const auto echo = BytesOf(sim.receive(8, 2s));
        QCOMPARE(echo.size(), 8u);
        QCOMPARE(int(echo[0]), 1); // still from the old address
        sim.send(probe);
        QCOMPARE(hexText(BytesOf(sim.receive(reply.size(), 2s))), hexText(reply));
        Bytes atOldAddress(probe.begin(), probe.end() - 2);
        atOldAddress[0] = 1;
        codec::AppendCrc16(atOldAddress);
        sim.send(atOldAddress);
        QVERIFY(sim.receive(1, 400ms).empty());
        QCOMPARE(sim.stop(), 0);
    }

    // Meters with line settings of their own on one pty, the tool's side set as a row says:
    // baud rate and stop bits are matched, parity cannot be, and the reply is paced at the
    // answering meter's own settings.
    void lineSettingsPerMeter_data()
    {
        QTest::addColumn<QString>("toolLine");
        QTest::addColumn<Bytes>("request");
        QTest::addColumn<Bytes>("reply"); // empty: no reply
        QTest::addColumn<double>("characterMs");
        QTest::addColumn<QString>("meterLine"); // the answering meter's, as the log writes it
        const Bytes morelAt17 = withCrc("1103011E0002");
        const Bytes pescaAt6 = withCrc("0603011E0002");
        const Bytes morelAt4 = withCrc("0403011E0002");
        QTest::newRow("9600,N,8,1: Tarvik CT@1 at 9600 8N1")
            << "9600,N,8,1" << ReadEnergyAt1 << EnergyReplyAt1 << 10 * 1000.0 / 9600 << "9600 8N1";
        QTest::newRow("19200,N,8,1: not Tarvik CT@1") << "19200,N,8,1" << ReadEnergyAt1 << Bytes{} << 0.0 << "";
        QTest::newRow("19200,N,8,1: Morel-K@17 at 19200 8N1")
            << "19200,N,8,1" << morelAt17 << withCrc("1103040000303A") << 10 * 1000.0 / 19200 << "19200 8N1";
        QTest::newRow("9600,N,8,1: not Morel-K@17") << "9600,N,8,1" << morelAt17 << Bytes{} << 0.0 << "";
        QTest::newRow("9600,N,8,2: Pesca-K@6 at 9600 8N2")
            << "9600,N,8,2" << pescaAt6 << withCrc("0603040001E241") << 11 * 1000.0 / 9600 << "9600 8N2";
        QTest::newRow("9600,N,8,1: not Pesca-K@6") << "9600,N,8,1" << pescaAt6 << Bytes{} << 0.0 << "";
        QTest::newRow("9600,E,8,1: Tarvik CT@1 at 8N1, no parity on a pty")
            << "9600,E,8,1" << ReadEnergyAt1 << EnergyReplyAt1 << 10 * 1000.0 / 9600 << "9600 8N1";
        QTest::newRow("1200,N,8,2: Morel-K@4 at 1200 8E2, in 12-bit characters")
            << "1200,N,8,2" << morelAt4 << withCrc("0403040000303A") << 12 * 1000.0 / 1200 << "1200 8E2";
        QTest::newRow("1200,N,8,1: not Morel-K@4") << "1200,N,8,1" << morelAt4 << Bytes{} << 0.0 << "";
    }

    void lineSettingsPerMeter()
    {
        QFETCH(QString, toolLine);
        QFETCH(Bytes, request);
        QFETCH(Bytes, reply);
        QFETCH(double, characterMs);
        QFETCH(QString, meterLine);
        SimProcess sim;
        start(sim, {"--meter", "Tarvik CT@1", "--meter", "Morel-K@17,19200", "--meter", "Pesca-K@6,9600,none,2",
                    "--meter", "Morel-K@4,1200,even,2"});
        const auto line = engine::parseLineSettings(toolLine.toStdString());
        QVERIFY(line && sim.setLine(*line));
        const auto sent = sim.send(request);
        const auto arrivals = sim.receive(std::max<std::size_t>(reply.size(), 1), reply.empty() ? 400ms : 3s);
        QCOMPARE(hexText(BytesOf(arrivals)), hexText(reply));
        if (!reply.empty()) {
            const double ms = msBetween(sent, arrivals.back().at);
            QVERIFY2(ms >= static_cast<double>(reply.size()) * characterMs - RoundingMs, qPrintable(QString::number(ms)));
            QVERIFY2(sim.logText().contains(pacedText(reply.size(), characterMs, meterLine)), qPrintable(sim.logText()));
        }
        const auto fields = toolLine.split(',');
        const auto heard = QString("at %1 8?%2").arg(fields[0], fields[3]);
        QVERIFY2(sim.logText().contains(heard), qPrintable(sim.logText()));
        QCOMPARE(sim.stop(), 0);
    }

    // The tool's own kind of port on the pty: the speed and stop bits it opens with are heard.
    void serialPortSettingsHeard_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<QSerialPort::Parity>("parity");
        QTest::addColumn<QSerialPort::StopBits>("stopBits");
        QTest::addColumn<bool>("answered");
        QTest::newRow("19200 8N2: answered") << 19200 << QSerialPort::NoParity << QSerialPort::TwoStop << true;
        QTest::newRow("19200 8E2: answered, no parity on a pty") << 19200 << QSerialPort::EvenParity << QSerialPort::TwoStop << true;
        QTest::newRow("19200 8N1: silent") << 19200 << QSerialPort::NoParity << QSerialPort::OneStop << false;
        QTest::newRow("9600 8N2: silent") << 9600 << QSerialPort::NoParity << QSerialPort::TwoStop << false;
    }

    void serialPortSettingsHeard()
    {
        QFETCH(int, baud);
        QFETCH(QSerialPort::Parity, parity);
        QFETCH(QSerialPort::StopBits, stopBits);
        QFETCH(bool, answered);
        SimProcess sim;
        start(sim, {"--meter", "Morel-K@17,19200,none,2"});
        sim.releasePort();
        QSerialPort port(sim.port());
        port.setBaudRate(baud);
        port.setParity(parity);
        port.setStopBits(stopBits);
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        const Bytes request = withCrc("1103011E0002");
        port.write(reinterpret_cast<const char*>(request.data()), static_cast<qint64>(request.size()));
        QVERIFY(port.waitForBytesWritten(2000));
        QByteArray reply;
        QDeadlineTimer deadline(answered ? 3000 : 400);
        while (reply.size() < 9 && port.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            reply += port.readAll();
        QCOMPARE(QString(reply.toHex(' ').toUpper()), answered ? hexText(withCrc("1103040000303A")) : QString());
        const auto heard = QString("at %1 8?%2").arg(baud).arg(stopBits == QSerialPort::TwoStop ? 2 : 1);
        QVERIFY2(sim.logText().contains(heard), qPrintable(sim.logText()));
        port.close();
        QCOMPARE(sim.stop(), 0);
    }

    // A new baud rate is the written meter's alone: its neighbour stays at 9600.
    void baudChangeAfterReply()
    {
        SimProcess sim;
        start(sim, {"--meter", "Morel-K@1", "--meter", "Morel-K@2"});
        sim.send(catalogueRequest("Morel-K", cmd::ModifyBaudRate, 1, "1200"));
        QCOMPARE(sim.receive(8, 2s).size(), 8u);
        const Bytes readAt1 = withCrc("0103011E0002");
        const Bytes readAt2 = withCrc("0203011E0002");
        sim.send(readAt2);
        QCOMPARE(hexText(BytesOf(sim.receive(9, 2s))), hexText(withCrc("0203040000303A")));
        sim.send(readAt1);
        QVERIFY(sim.receive(1, 400ms).empty());

        // The tool follows the meter to 1200 baud; the reply is paced at it: 9 characters of 10 bits.
        QVERIFY(sim.setLine({1200}));
        const auto sent = sim.send(readAt1);
        const auto reply = sim.receive(9, 3s);
        QCOMPARE(hexText(BytesOf(reply)), hexText(withCrc("0103040000303A")));
        QVERIFY2(msBetween(sent, reply.back().at) >= 9 * 10 * 1000.0 / 1200 - RoundingMs,
                 qPrintable(QString::number(msBetween(sent, reply.back().at))));
        sim.send(readAt2);
        QVERIFY(sim.receive(1, 400ms).empty());
        // The echo went out at 9600 baud, 8 characters in 8.3 ms, not 67; only then did
        // the meter move to 1200, and its reading went at that speed.
        const auto log = sim.logText();
        const auto echoAt = log.indexOf(pacedText(8, 10 * 1000.0 / 9600, "9600 8N1"));
        QVERIFY2(echoAt >= 0 && echoAt < log.indexOf("Morel-K@1 now listens at 1200 8N1"), qPrintable(log));
        QVERIFY2(log.contains(pacedText(9, 10 * 1000.0 / 1200, "1200 8N1")), qPrintable(log));
        QCOMPARE(sim.stop(), 0);
    }

    // On a device the simulator hears at its own settings: a meter set otherwise is silent,
    // and one whose parity is changed falls out of hearing while its neighbour answers on.
    void deviceHearsItsOwnSettings()
    {
        QTemporaryDir folder;
        const auto simSide = folder.filePath("sim-side");
        const auto toolSide = folder.filePath("tool-side");
        QProcess socat;
        socat.start("socat", {"pty,raw,echo=0,link=" + simSide, "pty,raw,echo=0,link=" + toolSide});
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(simSide) && QFileInfo::exists(toolSide); }, 5000));
        SimProcess sim;
        QVERIFY2(sim.start(EnergyArguments + QStringList{"--device", simSide, "--meter", "Tarvik CT@1", "--meter",
                                                         "Tarvik CT@2", "--meter", "Morel-K@17,19200"},
                           toolSide),
                 qPrintable(sim.error()));
        sim.send(withCrc("1103011E0002"));
        QVERIFY(sim.receive(1, 400ms).empty());
        sim.send(ReadEnergyAt1);
        QCOMPARE(hexText(BytesOf(sim.receive(9, 2s))), hexText(EnergyReplyAt1));

        sim.send(catalogueRequest("Tarvik CT", cmd::ModifyParity, 1, "EVEN"));
        QCOMPARE(sim.receive(8, 2s).size(), 8u);
        sim.send(ReadEnergyAt1);
        QVERIFY(sim.receive(1, 400ms).empty());
        sim.send(withCrc("020401560002"));
        QCOMPARE(hexText(BytesOf(sim.receive(9, 2s))), hexText(withCrc("020404449A522B")));
        QVERIFY2(sim.logText().contains("Tarvik CT@1 now listens at 9600 8E1; the device stays at 9600 8N1"),
                 qPrintable(sim.logText()));
        QCOMPARE(sim.stop(), 0);
        socat.terminate();
        socat.waitForFinished(5000);
    }

    // Each row is named by its line settings as the simulator's log writes them.
    void pacing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<double>("characterMs");
        QTest::newRow("9600 8N1") << QStringList{} << 10 * 1000.0 / 9600;
        QTest::newRow("1200 8N1") << QStringList{"--baud", "1200"} << 10 * 1000.0 / 1200;
        QTest::newRow("1200 8E2") << QStringList{"--baud", "1200", "--parity", "even", "--stop-bits", "2"} << 12 * 1000.0 / 1200;
        // 38400 is a new pty's own speed: parity asked at an unchanged speed once kept it from starting.
        QTest::newRow("38400 8E1") << QStringList{"--baud", "38400", "--parity", "even"}
                                   << 11 * 1000.0 / 38400;
    }

    void pacing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(double, characterMs);
        SimProcess sim;
        start(sim, arguments);
        // Request start to reply end: nine characters, never less, and the simulator
        // says it paced them at the line's settings.
        const auto sent = sim.send(ReadEnergyAt1);
        const auto reply = sim.receive(9, 3s);
        QCOMPARE(hexText(BytesOf(reply)), hexText(EnergyReplyAt1));
        const double ms = msBetween(sent, reply.back().at);
        QVERIFY2(ms >= 9 * characterMs - RoundingMs, qPrintable(QString::number(ms)));
        const auto log = sim.logText();
        QVERIFY2(log.contains(pacedText(9, characterMs, QTest::currentDataTag())), qPrintable(log));
        QCOMPARE(sim.stop(), 0);
    }

    // What comes back for "Read Energy" at address 1 under each fault.
    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<Bytes>("head");         // what arrives first
        QTest::addColumn<int>("size");           // all that arrives; -1: keeps talking
        QTest::addColumn<bool>("valid");         // what arrived passes the tool's check
        QTest::addColumn<QList<int>>("pausesAt"); // bytes each one more pause of pauseMs comes before; 0: after the request
        QTest::addColumn<int>("pauseMs");
        const Bytes energy = EnergyReplyAt1;
        QTest::newRow("silent") << "silent" << Bytes{} << 0 << false << QList<int>{} << 0;
        QTest::newRow("bad-crc") << "bad-crc" << Bytes(energy.begin(), energy.begin() + 7) << 9 << false << QList<int>{} << 0;
        QTest::newRow("exception -> 01 84 04") << "exception" << withCrc("018404") << 5 << false << QList<int>{} << 0;
        QTest::newRow("exception:2 -> 01 84 02") << "exception:2" << withCrc("018402") << 5 << false << QList<int>{} << 0;
        QTest::newRow("exception,once -> 01 84 04, then the reading") << "exception,once" << withCrc("018404") << 5
                                                                      << false << QList<int>{} << 0;
        QTest::newRow("split:3:150") << "split:3:150" << energy << 9 << true << QList<int>{3, 6} << 150;
        QTest::newRow("late:300") << "late:300" << energy << 9 << true << QList<int>{0} << 300;
        QTest::newRow("garbage:5") << "garbage:5" << energy << 14 << false << QList<int>{} << 0;
        QTest::newRow("chatter:40") << "chatter:40" << energy << 49 << false << QList<int>{} << 0;
        QTest::newRow("chatter") << "chatter" << energy << -1 << false << QList<int>{} << 0;
        QTest::newRow("echo: the request, then the reply") << "echo" << joined(ReadEnergyAt1, energy) << 17 << false
                                                           << QList<int>{} << 0;
        QTest::newRow("echo,silent: the request alone") << "echo,silent" << ReadEnergyAt1 << 8 << false
                                                        << QList<int>{} << 0;
        QTest::newRow("echo,once: then the reading alone") << "echo,once" << joined(ReadEnergyAt1, energy) << 17
                                                           << false << QList<int>{} << 0;
    }

    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(Bytes, head);
        QFETCH(int, size);
        QFETCH(bool, valid);
        QFETCH(QList<int>, pausesAt);
        QFETCH(int, pauseMs);
        SimProcess sim;
        start(sim, {"--fault", fault});
        const auto sent = sim.send(ReadEnergyAt1);
        // A device that keeps talking sends far more than any reply.
        const std::size_t expected = size < 0 ? 200 : static_cast<std::size_t>(size);
        const auto arrivals = sim.receive(expected, 3s);
        const auto bytes = BytesOf(arrivals);
        QCOMPARE(bytes.size(), expected);
        if (size >= 0)
            QVERIFY2(sim.receive(1, 300ms).empty(), "more than expected");
        QCOMPARE(hexText(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(head.size()))), hexText(head));
        QCOMPARE(engine::ValidateReply(bytes, static_cast<int>(bytes.size()), 1, "010404"), valid);
        QCOMPARE(tooSoon(sent, arrivals, pausesAt, pauseMs), QList<int>{});
        if (fault.endsWith(",once")) {
            sim.send(ReadEnergyAt1);
            QCOMPARE(hexText(BytesOf(sim.receive(9, 2s))), hexText(EnergyReplyAt1));
        }
        QCOMPARE(sim.stop(), 0);
    }

    // Requests through a QTcpSocket: RTU frames as they are in rtu-tcp, MBAP frames in modbus-tcp.
    void tcpAnswers_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<Bytes>("request");
        QTest::addColumn<Bytes>("reply"); // empty: no reply
        const QString rtu = "rtu-tcp";
        const QString modbus = "modbus-tcp";
        QTest::newRow("rtu-tcp 01 04 01 56 00 02: read") << rtu << ReadEnergyAt1 << EnergyReplyAt1;
        QTest::newRow("rtu-tcp 01 10 00 1C 00 02 04 ...: write echo")
            << rtu << catalogueRequest("Tarvik CT", cmd::ModifyBaudRate, 1) << withCrc("0110001C0002");
        QTest::newRow("rtu-tcp 11 03 01 1E 00 02: Morel-K@17 at 19200 8E2 answers")
            << rtu << withCrc("1103011E0002") << withCrc("1103040000303A");
        QTest::newRow("rtu-tcp 01 04 01 56 00 02 27 90: bad CRC") << rtu << Bytes{1, 4, 1, 0x56, 0, 2, 0x27, 0x90} << Bytes{};
        QTest::newRow("rtu-tcp 2A 04 01 56 00 02: no meter at 42") << rtu << withCrc("2A0401560002") << Bytes{};
        QTest::newRow("modbus-tcp 00 01 | 01 04 01 56 00 02: read")
            << modbus << mbap(0x0001, "010401560002") << hexBytes("000100000007010404449A522B");
        QTest::newRow("modbus-tcp BE EF | 01 04 01 56 00 02: transaction echoed")
            << modbus << mbap(0xBEEF, "010401560002") << hexBytes("BEEF00000007010404449A522B");
        QTest::newRow("modbus-tcp 00 02 | 01 10 00 1C 00 02 04 40 00 00 00: write echo")
            << modbus << mbap(0x0002, "0110001C00020440000000") << hexBytes("0002000000060110001C0002");
        QTest::newRow("modbus-tcp 00 03 | 11 03 01 1E 00 02: unit 17")
            << modbus << mbap(0x0003, "1103011E0002") << hexBytes("0003000000071103040000303A");
        QTest::newRow("modbus-tcp 00 04 | 01 41: exception 1") << modbus << mbap(0x0004, "0141") << hexBytes("00040000000301C101");
        QTest::newRow("modbus-tcp 00 05 | 2A 04 01 56 00 02: no meter at 42")
            << modbus << mbap(0x0005, "2A0401560002") << Bytes{};
        QTest::newRow("modbus-tcp 00 06 00 01 00 06 ...: protocol 1 dropped")
            << modbus << hexBytes("000600010006010401560002") << Bytes{};
        QTest::newRow("modbus-tcp 00 07 00 00 00 01 01: length 1 dropped") << modbus << hexBytes("00070000000101") << Bytes{};
        QTest::newRow("modbus-tcp 00 08 00 00 01 2C ...: length 300 dropped")
            << modbus << hexBytes("00080000012C010401560002") << Bytes{};
    }

    void tcpAnswers()
    {
        QFETCH(QString, scheme);
        QFETCH(Bytes, request);
        QFETCH(Bytes, reply);
        auto& sim = scheme == "rtu-tcp" ? m_rtuTcp : m_modbusTcp;
        QVERIFY(sim.port().startsWith(scheme + "://127.0.0.1:"));
        sim.send(request);
        QCOMPARE(hexText(BytesOf(sim.receive(std::max<std::size_t>(reply.size(), 1), reply.empty() ? 400ms : 2s))),
                 hexText(reply));
        // The stream is in step again for the next request.
        const auto probe = scheme == "rtu-tcp" ? ReadEnergyAt1 : mbap(0x7777, "010401560002");
        const auto answer = scheme == "rtu-tcp" ? EnergyReplyAt1 : hexBytes("777700000007010404449A522B");
        sim.send(probe);
        QCOMPARE(hexText(BytesOf(sim.receive(answer.size(), 2s))), hexText(answer));
    }

    // What comes back over TCP for "Read Energy" at address 1 under each fault.
    void tcpFaults_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<Bytes>("head"); // what arrives first
        QTest::addColumn<int>("size");   // all that arrives
        QTest::addColumn<QList<int>>("pausesAt");
        QTest::addColumn<int>("pauseMs");
        const Bytes mbapEnergy = hexBytes("000100000007010404449A522B");
        QTest::newRow("rtu-tcp silent") << "rtu-tcp" << "silent" << Bytes{} << 0 << QList<int>{} << 0;
        QTest::newRow("modbus-tcp silent") << "modbus-tcp" << "silent" << Bytes{} << 0 << QList<int>{} << 0;
        QTest::newRow("modbus-tcp exception:2 -> 01 84 02")
            << "modbus-tcp" << "exception:2" << hexBytes("000100000003018402") << 9 << QList<int>{} << 0;
        QTest::newRow("rtu-tcp bad-crc") << "rtu-tcp" << "bad-crc" << Bytes(EnergyReplyAt1.begin(), EnergyReplyAt1.end() - 2)
                                         << 9 << QList<int>{} << 0;
        QTest::newRow("rtu-tcp garbage:5") << "rtu-tcp" << "garbage:5" << EnergyReplyAt1 << 14 << QList<int>{} << 0;
        QTest::newRow("rtu-tcp split:3:150") << "rtu-tcp" << "split:3:150" << EnergyReplyAt1 << 9 << QList<int>{3, 6} << 150;
        QTest::newRow("modbus-tcp split:3:150") << "modbus-tcp" << "split:3:150" << mbapEnergy << 13 << QList<int>{5, 9}
                                                << 150;
        QTest::newRow("modbus-tcp late:300") << "modbus-tcp" << "late:300" << mbapEnergy << 13 << QList<int>{0} << 300;
    }

    void tcpFaults()
    {
        QFETCH(QString, scheme);
        QFETCH(QString, fault);
        QFETCH(Bytes, head);
        QFETCH(int, size);
        QFETCH(QList<int>, pausesAt);
        QFETCH(int, pauseMs);
        SimProcess sim;
        start(sim, {"--listen", scheme + "://127.0.0.1:0", "--fault", fault});
        const auto sent = sim.send(scheme == "rtu-tcp" ? ReadEnergyAt1 : mbap(0x0001, "010401560002"));
        const auto arrivals = sim.receive(static_cast<std::size_t>(size), 3s);
        const auto bytes = BytesOf(arrivals);
        QCOMPARE(bytes.size(), static_cast<std::size_t>(size));
        QVERIFY2(sim.receive(1, 300ms).empty(), "more than expected");
        QCOMPARE(hexText(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(head.size()))), hexText(head));
        if (fault == "bad-crc")
            QVERIFY(bytes != EnergyReplyAt1);
        QCOMPARE(tooSoon(sent, arrivals, pausesAt, pauseMs), QList<int>{});
        QCOMPARE(sim.stop(), 0);
    }

    // One client at a time: a new one replaces the one served, and the next after one leaves is served.
    void tcpClientReplaced()
    {
        SimProcess sim;
        start(sim, {"--listen", "modbus-tcp://127.0.0.1:0"});
        const auto read = mbap(0x0101, "010401560002");
        const auto reply = hexBytes("010100000007010404449A522B");
        QTcpSocket other;
        const QUrl url(sim.port());
        other.connectToHost(url.host(), static_cast<quint16>(url.port()));
        QVERIFY(other.waitForConnected(5000));
        other.write(reinterpret_cast<const char*>(read.data()), static_cast<qint64>(read.size()));
        QByteArray got;
        QDeadlineTimer deadline(2000);
        while (got.size() < static_cast<qsizetype>(reply.size()) && other.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            got += other.readAll();
        QCOMPARE(QString(got.toHex(' ').toUpper()), hexText(reply));
        QVERIFY(sim.socket().state() == QAbstractSocket::UnconnectedState || sim.socket().waitForDisconnected(2000));

        other.disconnectFromHost();
        QVERIFY(sim.reconnect());
        sim.send(read);
        QCOMPARE(hexText(BytesOf(sim.receive(reply.size(), 2s))), hexText(reply));
        const auto log = sim.logText();
        QVERIFY2(log.contains("replacing") && log.contains("went away"), qPrintable(log));
        QCOMPARE(sim.stop(), 0);
    }

    // pymodbus as the client, in both framings: a read of each meter and a write.
    void pymodbusOverTcp_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("framer");
        QTest::addColumn<QString>("host");  // as --listen gives it
        QTest::addColumn<QString>("bound"); // as the port line names it
        QTest::newRow("modbus-tcp, socket framer") << "modbus-tcp" << "socket" << "127.0.0.1" << "127.0.0.1";
        QTest::newRow("rtu-tcp, RTU framer") << "rtu-tcp" << "rtu" << "127.0.0.1" << "127.0.0.1";
        QTest::newRow("modbus-tcp on [::1], socket framer") << "modbus-tcp" << "socket" << "[::1]" << "[::1]";
        QTest::newRow("rtu-tcp on localhost, RTU framer") << "rtu-tcp" << "rtu" << "localhost" << "127.0.0.1";
    }

    void pymodbusOverTcp()
    {
        QFETCH(QString, scheme);
        QFETCH(QString, framer);
        QFETCH(QString, host);
        QFETCH(QString, bound);
        if (host == "[::1]") {
            QTcpServer loopback;
            if (!loopback.listen(QHostAddress::LocalHostIPv6))
                QSKIP("no IPv6 loopback on this machine");
        }
        SimProcess sim;
        start(sim, TcpMeters + QStringList{"--listen", scheme + "://" + host + ":0"});
        QVERIFY2(sim.port().startsWith(scheme + "://" + bound + ":"), qPrintable(sim.port()));
        const QUrl url(sim.port());
        QProcess python;
        python.start("/usr/bin/python3", {QFINDTESTDATA("pymodbus_tcp_client.py"), url.host(), QString::number(url.port()), framer});
        QVERIFY(python.waitForFinished(30000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        const auto answers = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        // 1234.5677 kWh as a single; 12346 tenths; the write echo of register 0x001C, two registers.
        QCOMPARE(answers["energy"].toArray(), (QJsonArray{0x449A, 0x522B}));
        QCOMPARE(answers["tenths"].toArray(), (QJsonArray{0, 12346}));
        QCOMPARE(answers["written"].toArray(), (QJsonArray{0x001C, 2}));
        QCOMPARE(sim.stop(), 0);
    }

    // Meters that share an address garble each other's reply, the same way for the
    // same seed; a meter alone at its address is not touched by it.
    void collision_data()
    {
        QTest::addColumn<QStringList>("meters");
        QTest::addColumn<QString>("seed");
        QTest::newRow("05 04 01 56 00 02: Tarvik CT@5 and Morel-K@5, seed 1")
            << QStringList{"Tarvik CT@5", "Morel-K@5"} << "1";
        QTest::newRow("05 04 01 56 00 02: Tarvik CT@5 and Morel-K@5, seed 42")
            << QStringList{"Tarvik CT@5", "Morel-K@5"} << "42";
        QTest::newRow("05 04 01 56 00 02: Tarvik CT@5 twice, the same reply, seed 7")
            << QStringList{"Tarvik CT@5", "Tarvik CT@5"} << "7";
        QTest::newRow("05 04 01 56 00 02: three Tarvik CT@5, seed 3")
            << QStringList{"Tarvik CT@5", "Tarvik CT@5", "Tarvik CT@5"} << "3";
    }

    void collision()
    {
        QFETCH(QStringList, meters);
        QFETCH(QString, seed);
        QStringList args{"--seed", seed, "--meter", "Tarvik CT@1"};
        for (const auto& meter : meters)
            args << "--meter" << meter;
        QList<QString> garbles;
        for (int run = 0; run < 2; ++run) {
            SimProcess sim;
            start(sim, args);
            sim.send(withCrc("050401560002"));
            // Whatever comes until the line is quiet; no reply is longer than this.
            const auto garble = BytesOf(sim.receive(64, 1s));
            QVERIFY(garble.size() >= 5);
            QCOMPARE(garble.front(), std::uint8_t{5});
            QVERIFY2(!codec::CrcRight(garble), qPrintable(hexText(garble)));
            QVERIFY2(!engine::ReplyComplete(garble), qPrintable(hexText(garble)));
            garbles << hexText(garble);
            sim.send(ReadEnergyAt1);
            QCOMPARE(hexText(BytesOf(sim.receive(EnergyReplyAt1.size(), 2s))), hexText(EnergyReplyAt1));
            QCOMPARE(sim.stop(), 0);
        }
        QCOMPARE(garbles[1], garbles[0]);
    }

    void linkLogAndCleanStop()
    {
        QTemporaryDir folder;
        const auto link = folder.filePath("meter-port");
        const auto logFile = folder.filePath("sim.log");
        SimProcess sim;
        start(sim, {"--link", link, "--log", logFile});
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.port());
        sim.send(ReadEnergyAt1);
        QCOMPARE(sim.receive(9, 2s).size(), 9u);
        QCOMPARE(sim.stop(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());

        QFile log(logFile);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const auto text = QString::fromUtf8(log.readAll());
        QVERIFY2(text.contains(QRegularExpression(R"(\d\d:\d\d:\d\d\.\d\d\d RX +01 04 01 56 00 02 90 27 )")), qPrintable(text));
        QVERIFY2(text.contains(QRegularExpression(R"(\d\d:\d\d:\d\d\.\d\d\d TX +01 04 04 44 9A 52 2B B2 24 )")), qPrintable(text));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("--help") << QStringList{"--help"} << 0;
        QTest::newRow("--meter Tarvik@1") << QStringList{"--meter", "Tarvik@1"} << 2;
        QTest::newRow("--seed -1") << QStringList{"--seed", "-1"} << 2;
        QTest::newRow("--listen with --tap") << QStringList{"--listen", "rtu-tcp://127.0.0.1:0", "--tap", "/tmp/x"} << 2;
        QTest::newRow("--fault split:1:10") << QStringList{"--fault", "split:1:10"} << 2;
        QTest::newRow("--energy 5e8 for Pesca-K") << QStringList{"--energy", "5e8", "--meter", "Pesca-K@1"} << 2;
        QTest::newRow("--device /nonexistent") << QStringList{"--device", "/nonexistent/tty"} << 1;
        QTest::newRow("--meter Morel-K@17,14400") << QStringList{"--meter", "Morel-K@17,14400"} << 2;
        QTest::newRow("--meter Morel-K@17,9600,mark") << QStringList{"--meter", "Morel-K@17,9600,mark"} << 2;
        QTest::newRow("--meter Morel-K@17,9600,none,1.5") << QStringList{"--meter", "Morel-K@17,9600,none,1.5"} << 2;
        QTest::newRow("--meter Morel-K@17,9600,none,1,8") << QStringList{"--meter", "Morel-K@17,9600,none,1,8"} << 2;
        QTest::newRow("--listen ftp://127.0.0.1:0") << QStringList{"--listen", "ftp://127.0.0.1:0"} << 2;
        QTest::newRow("--listen rtu-tcp://example.org:0") << QStringList{"--listen", "rtu-tcp://example.org:0"} << 2;
        QTest::newRow("--listen rtu-tcp://127.0.0.1:65536") << QStringList{"--listen", "rtu-tcp://127.0.0.1:65536"} << 2;
        QTest::newRow("--listen rtu-tcp://192.0.2.1:0, no address of this machine")
            << QStringList{"--listen", "rtu-tcp://192.0.2.1:0"} << 2;
        QTest::newRow("--listen with --device")
            << QStringList{"--listen", "rtu-tcp://127.0.0.1:0", "--device", "/dev/null"} << 2;
        QTest::newRow("--listen rtu-tcp --fault echo") << QStringList{"--listen", "rtu-tcp://127.0.0.1:0", "--fault", "echo"} << 2;
        QTest::newRow("--listen modbus-tcp --fault bad-crc")
            << QStringList{"--listen", "modbus-tcp://127.0.0.1:0", "--fault", "bad-crc"} << 2;
        QTest::newRow("--listen modbus-tcp --fault garbage:3")
            << QStringList{"--listen", "modbus-tcp://127.0.0.1:0", "--fault", "garbage:3"} << 2;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QProcess process;
        process.start(SimProcess::Executable(), arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), exitCode);
        if (exitCode != 0)
            QVERIFY(process.readAllStandardError().startsWith("quorvane-sim: "));
        else
            for (const auto help = process.readAllStandardOutput(); const char* option : {"--fault <MODE>", "--listen <URL>", "  echo  "})
                QVERIFY2(help.contains(option), option);
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"

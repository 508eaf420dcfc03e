#include "simprocess.h"

#include "catalogue/catalogue.h"
#include "codec/crc16.h"
#include "codec/hexcode.h"
#include "codec/single.h"
#include "engine/parameters.h"
#include "engine/replyvalidation.h"
#include "engine/requestframe.h"
#include "engine/resulttexts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

namespace cmd = catalogue::command;

// The energies every simulated meter is started with.
const QStringList EnergyArguments = {"--energy", "1234.5677", "--import", "100.25", "--export", "7.5"};
constexpr double TotalKwh = 1234.5677;
constexpr double ImportKwh = 100.25;
constexpr double ExportKwh = 7.5;

// "Read Energy" of a "Tarvik CT" at address 1, and its reply with the energy 1234.5677 kWh.
const std::vector<std::uint8_t> ReadEnergyAt1 = {0x01, 0x04, 0x01, 0x56, 0x00, 0x02, 0x90, 0x27};
const std::vector<std::uint8_t> EnergyReplyAt1 = {0x01, 0x04, 0x04, 0x44, 0x9A, 0x52, 0x2B, 0xB2, 0x24};

using Bytes = std::vector<std::uint8_t>;

Bytes hexBytes(const char* hex)
{
    const auto a = QByteArray::fromHex(hex);
    return {a.begin(), a.end()};
}

Bytes withCrc(const char* hex)
{
    auto frame = hexBytes(hex);
    codec::AppendCrc16(frame);
    return frame;
}

QString hexText(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()))
        .toHex(' ')
        .toUpper();
}

// Every meter type on one line, at addresses 1..11 in list order.
int addressOf(std::string_view meterType)
{
    const auto& names = catalogue::MeterTypeNames;
    return static_cast<int>(std::find(names.begin(), names.end(), meterType) - names.begin()) + 1;
}

QStringList allMetersArguments()
{
    QStringList args = EnergyArguments;
    for (const auto name : catalogue::MeterTypeNames)
        args << "--meter" << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) + "@"
                                 + QString::number(addressOf(name));
    return args;
}

std::vector<std::string_view> commandsOf(std::string_view meterType)
{
    return catalogue::CommandsOf(meterType)->commands;
}

// The request the tool sends for a command, with values that leave the meter's address and line as they are.
Bytes catalogueRequest(std::string_view meterType, std::string_view command, int address)
{
    engine::OperationState state;
    const auto kind = catalogue::GetFrameKind(meterType, command);
    const auto codes = catalogue::Find_Code(meterType, command);
    int code = 0;
    if (command == cmd::ModifyMeterAddress)
        code = engine::AcceptParameter(state, meterType, command, kind, std::to_string(address), "").code;
    else if (command == cmd::ModifyBaudRate)
        code = engine::AcceptParameter(state, meterType, command, kind, "9600", "").code;
    else if (command == cmd::ModifyParity)
        code = engine::AcceptParameter(state, meterType, command, kind, "NONE", "1").code;
    else if (command == cmd::SetCt)
        code = engine::AcceptParameter(state, meterType, command, kind, "100", "5").code;
    const engine::TimeBytes time = {0x58, 0x59, 0x23, 0x01, 0x31, 0x12, 0x24, 0x20};
    engine::TariffBytes tariff{};
    tariff[0] = {0x01, 0x30, 0x08};
    return engine::BuildRequestFrame(kind, command, codes->request, static_cast<std::uint8_t>(address), code, time,
                                     tariff);
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
        const int function = code[1];
        const int start = code[2] << 8 | code[3];
        const int count = code[4] << 8 | code[5];
        if (function == 0x10) {
            for (int i = 0; i < count; ++i)
                holding[QString::number(start + i)] = 0;
            continue;
        }
        const double kwh = command == cmd::ReadImportEnergy   ? ImportKwh
                           : command == cmd::ReadExportEnergy ? ExportKwh
                                                              : TotalKwh;
        std::array<std::uint8_t, 4> b{};
        if (encoding == catalogue::EnergyEncoding::Single) {
            b = codec::SingleToLineBytes(static_cast<float>(kwh));
        } else {
            const auto v = static_cast<std::uint32_t>(
                std::lround(kwh * (encoding == catalogue::EnergyEncoding::ScaledTenths ? 10 : 100)));
            b = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                 static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
        }
        auto& regs = function == 0x03 ? holding : input;
        regs[QString::number(start)] = b[0] << 8 | b[1];
        regs[QString::number(start + 1)] = b[2] << 8 | b[3];
    }
    return {{"holding", holding}, {"input", input}};
}

// The energy as the tool's report writes it.
QString expectedEnergyText(std::string_view meterType, std::string_view command)
{
    if (meterType == "Morel-K")
        return "1234.6";
    if (meterType == "Pesca-K")
        return "1234.57";
    if (command == cmd::ReadImportEnergy)
        return "100.2500";
    if (command == cmd::ReadExportEnergy)
        return "7.5000";
    return "1234.5677";
}

struct PeerCase {
    QString name;
    std::string meterType;
    Bytes request;
    std::string command = {}; // empty for hand-made requests
};

// Requests the simulator must answer exactly as pymodbus does.
std::vector<PeerCase> catalogueCases()
{
    std::vector<PeerCase> cases;
    for (const auto meterType : catalogue::MeterTypeNames)
        for (const auto command : commandsOf(meterType)) {
            const auto request = catalogueRequest(meterType, command, addressOf(meterType));
            cases.push_back({QString("%1@%2 %3: %4")
                                 .arg(QString::fromUtf8(meterType.data(), static_cast<qsizetype>(meterType.size())))
                                 .arg(addressOf(meterType))
                                 .arg(QString::fromUtf8(command.data(), static_cast<qsizetype>(command.size())))
                                 .arg(hexText(request)),
                             std::string(meterType), request, std::string(command)});
        }
    return cases;
}

std::vector<PeerCase> refusalCases()
{
    return {
        {"01 04 00 00 00 02: no such input register", "Tarvik CT", withCrc("010400000002")},
        {"01 04 01 56 00 03: count runs past the energy", "Tarvik CT", withCrc("010401560003")},
        {"01 04 01 56 00 00: count 0", "Tarvik CT", withCrc("010401560000")},
        {"01 04 01 56 00 7E: count over 125", "Tarvik CT", withCrc("01040156007E")},
        {"01 04 00 48 00 02: import energy is Corvi Link's only", "Tarvik CT", withCrc("010400480002")},
        {"07 04 00 48 00 02: Corvi Link import energy", "Corvi Link", withCrc("070400480002")},
        {"01 03 01 56 00 02: energy is no holding register", "Tarvik CT", withCrc("010301560002")},
        {"07 10 01 56 00 02 04 ...: no writing the energy", "Corvi Link", withCrc("0710015600020400000000")},
        {"01 41: unknown function", "Tarvik CT", withCrc("0141")},
    };
}

// One run of the pymodbus helper over all cases: each reply as bytes, keyed by case name.
QMap<QString, Bytes> askPymodbus(const std::vector<PeerCase>& cases, QString& error)
{
    QJsonArray list;
    for (const auto& c : cases) {
        auto entry = peerRegisters(c.meterType);
        entry["unit"] = addressOf(c.meterType);
        entry["request"] = QString(hexText(c.request)).remove(' ');
        list.append(entry);
    }
    QProcess python;
    python.start("/usr/bin/python3", {QFINDTESTDATA("pymodbus_answer.py")});
    python.write(QJsonDocument(list).toJson(QJsonDocument::Compact));
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        error = "pymodbus helper failed (python3-pymodbus installed?): " + QString::fromUtf8(python.readAllStandardError());
        return {};
    }
    const auto answers = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    QMap<QString, Bytes> replies;
    for (std::size_t i = 0; i < cases.size() && i < static_cast<std::size_t>(answers.size()); ++i)
        replies[cases[i].name] = hexBytes(answers[static_cast<qsizetype>(i)].toString().toLatin1().constData());
    return replies;
}

// Time between the arrivals of neighbouring bytes, the middle one of them.
double medianGapMs(const std::vector<Arrival>& arrivals)
{
    std::vector<double> gaps;
    for (std::size_t i = 1; i < arrivals.size(); ++i)
        gaps.push_back(std::chrono::duration<double, std::milli>(arrivals[i].at - arrivals[i - 1].at).count());
    if (gaps.empty())
        return 0;
    std::nth_element(gaps.begin(), gaps.begin() + static_cast<long>(gaps.size() / 2), gaps.end());
    return gaps[gaps.size() / 2];
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

// quorvane-sim seen from the tool's side of its pseudo-terminal.
class TestSimulator : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void answersLikePymodbus_data();
    void answersLikePymodbus();
    void refusesLikePymodbus_data();
    void refusesLikePymodbus();
    void refusals_data();
    void refusals();
    void staysSilent_data();
    void staysSilent();
    void writesAreStored();

    void addressChangeAfterReply_data();
    void addressChangeAfterReply();
    void baudChangeAfterReply();
    void pacing_data();
    void pacing();

    void faultSilent();
    void faultBadCrc();
    void faultException_data();
    void faultException();
    void faultSplit();
    void faultLate();
    void faultGarbage();
    void faultChatter_data();
    void faultChatter();
    void faultOnce();

    void linkLogAndCleanStop();
    void commandLineErrors_data();
    void commandLineErrors();

private:
    void startDefault(SimProcess& sim, const QStringList& extra);
    SimProcess m_all; // every meter type on one line
    QMap<QString, Bytes> m_peerReplies;
};

void TestSimulator::initTestCase()
{
    QVERIFY2(QFileInfo(SimProcess::Executable()).isExecutable(), qPrintable(SimProcess::Executable()));
    auto cases = catalogueCases();
    const auto refusals = refusalCases();
    cases.insert(cases.end(), refusals.begin(), refusals.end());
    QString error;
    m_peerReplies = askPymodbus(cases, error);
    QVERIFY2(!m_peerReplies.isEmpty(), qPrintable(error));
    QVERIFY2(m_all.start(allMetersArguments()), qPrintable(m_all.error()));
}

void TestSimulator::cleanupTestCase()
{
    QCOMPARE(m_all.stop(), 0);
}

void TestSimulator::startDefault(SimProcess& sim, const QStringList& extra)
{
    QVERIFY2(sim.start(EnergyArguments + extra), qPrintable(sim.error()));
}

void TestSimulator::answersLikePymodbus_data()
{
    QTest::addColumn<QString>("meterType");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("caseName");
    for (const auto& c : catalogueCases())
        QTest::newRow(qPrintable(c.name)) << QString::fromStdString(c.meterType) << QString::fromStdString(c.command)
                                          << c.name;
}

void TestSimulator::answersLikePymodbus()
{
    QFETCH(QString, meterType);
    QFETCH(QString, command);
    QFETCH(QString, caseName);
    const auto type = meterType.toStdString();
    const auto commandText = command.toStdString();
    const int address = addressOf(type);
    const auto expected = m_peerReplies.value(caseName);
    QVERIFY2(!expected.empty(), "pymodbus gave no reply");

    m_all.send(catalogueRequest(type, commandText, address));
    const auto reply = BytesOf(m_all.receive(expected.size(), 2s));
    QCOMPARE(hexText(reply), hexText(expected));
    QVERIFY2(m_all.receive(1, 30ms).empty(), "bytes after the reply");

    const auto codes = catalogue::Find_Code(type, commandText);
    QVERIFY(engine::ValidateReply(reply, static_cast<int>(reply.size()), static_cast<std::uint8_t>(address),
                                  codes->reply));
    if (catalogue::GetFrameKind(type, commandText) == catalogue::FrameKindRead) {
        engine::OperationState state;
        std::copy(reply.begin(), reply.end(), state.RxBuffer.begin());
        state.RxCount = static_cast<std::int16_t>(reply.size());
        QCOMPARE(QString::fromStdString(engine::EnergyText(state, type)), expectedEnergyText(type, commandText));
    }
}

void TestSimulator::refusesLikePymodbus_data()
{
    QTest::addColumn<QString>("caseName");
    for (const auto& c : refusalCases())
        QTest::newRow(qPrintable(c.name)) << c.name;
}

void TestSimulator::refusesLikePymodbus()
{
    QFETCH(QString, caseName);
    const auto cases = refusalCases();
    const auto& c = *std::find_if(cases.begin(), cases.end(), [&](const PeerCase& p) { return p.name == caseName; });
    const auto expected = m_peerReplies.value(caseName);
    QVERIFY2(!expected.empty(), "pymodbus gave no reply");

    m_all.send(c.request);
    const auto reply = BytesOf(m_all.receive(expected.size(), 2s));
    QCOMPARE(hexText(reply), hexText(expected));
    QVERIFY2(m_all.receive(1, 30ms).empty(), "bytes after the reply");
}

// Refusals where the meters differ from a generic slave: they check what a
// setting means and which register space their type has at all.
void TestSimulator::refusals_data()
{
    QTest::addColumn<Bytes>("request");
    QTest::addColumn<Bytes>("reply");
    QTest::newRow("04 04 01 1E 00 02: Morel-K has no input registers")
        << withCrc("0404011E0002") << withCrc("048401");
    QTest::newRow("03 04 01 56 00 02: Morel-N reads nothing") << withCrc("030401560002") << withCrc("038401");
    QTest::newRow("04 10 01 1E 00 02 04 ...: Morel-K energy is read-only")
        << withCrc("0410011E00020400000000") << withCrc("049002");
    QTest::newRow("01 10 00 1C 00 02 04 40 A0 00 00: 1200 baud is not for Tarvik CT")
        << withCrc("0110001C00020440A00000") << withCrc("019003");
    QTest::newRow("01 10 00 14 00 02 04 00 00 00 00: address 0") << withCrc("0110001400020400000000")
                                                                  << withCrc("019003");
    QTest::newRow("01 10 00 14 00 02 04 40 20 00 00: address 2.5") << withCrc("0110001400020440200000")
                                                                    << withCrc("019003");
    QTest::newRow("03 10 F6 00 00 01 02 00 F8: Morel-N address 248") << withCrc("0310F600000102" "00F8")
                                                                       << withCrc("039003");
    QTest::newRow("01 10 00 12 00 02 04 40 80 00 00: parity code 4") << withCrc("0110001200020440800000")
                                                                      << withCrc("019003");
    QTest::newRow("04 10 F9 00 00 01 02 00 1B: CT code 27") << withCrc("0410F900000102001B") << withCrc("049003");
    QTest::newRow("01 06 00 1C 00 02: no single-register writes") << withCrc("0106001C0002") << withCrc("018601");
    QTest::newRow("01 10 00 14 00 02 02 ...: byte count 2 for two registers")
        << withCrc("011000140002024000") << withCrc("019003");
}

void TestSimulator::refusals()
{
    QFETCH(Bytes, request);
    QFETCH(Bytes, reply);
    m_all.send(request);
    QCOMPARE(hexText(BytesOf(m_all.receive(reply.size(), 2s))), hexText(reply));
    QVERIFY2(m_all.receive(1, 30ms).empty(), "bytes after the reply");
}

void TestSimulator::staysSilent_data()
{
    QTest::addColumn<Bytes>("request");
    QTest::newRow("01 04 01 56 00 02 27 90: CRC high byte first") << hexBytes("0104015600022790");
    QTest::newRow("01 04 01 56 00 02 90 28: CRC off by one") << hexBytes("0104015600029028");
    QTest::newRow("2A 04 01 56 00 02: no meter at 42") << withCrc("2A0401560002");
    QTest::newRow("00 04 01 56 00 02: broadcast read") << withCrc("000401560002");
    QTest::newRow("00 10 00 1C 00 02 04 40 00 00 00: broadcast write") << withCrc("0010001C00020440000000");
    QTest::newRow("FF FF FF: noise") << hexBytes("FFFFFF");
}

void TestSimulator::staysSilent()
{
    QFETCH(Bytes, request);
    m_all.send(request);
    const auto reply = BytesOf(m_all.receive(1, 400ms));
    QVERIFY2(reply.empty(), qPrintable("unexpected " + hexText(reply)));
    // The line is in step again for the next request.
    m_all.send(ReadEnergyAt1);
    QCOMPARE(hexText(BytesOf(m_all.receive(EnergyReplyAt1.size(), 2s))), hexText(EnergyReplyAt1));
}

void TestSimulator::writesAreStored()
{
    const int morelN = addressOf("Morel-N");
    m_all.send(catalogueRequest("Morel-N", cmd::SetTime, morelN));
    QCOMPARE(m_all.receive(8, 2s).size(), 8u);
    // Read back with function 0x03: the eight date and time bytes as written.
    auto readBack = hexBytes("0003F0000004");
    readBack[0] = static_cast<std::uint8_t>(morelN);
    codec::AppendCrc16(readBack);
    m_all.send(readBack);
    const auto reply = BytesOf(m_all.receive(13, 2s));
    QCOMPARE(reply.size(), 13u);
    QCOMPARE(hexText(Bytes(reply.begin() + 3, reply.begin() + 11)), QString("58 59 23 01 31 12 24 20"));
}

void TestSimulator::addressChangeAfterReply_data()
{
    QTest::addColumn<QString>("meterType");
    QTest::addColumn<QString>("followUp");
    QTest::newRow("Tarvik CT: 0x0014 as a single") << "Tarvik CT" << QString(cmd::ReadEnergy.data());
    QTest::newRow("Morel-K: 0x000F") << "Morel-K" << QString(cmd::ReadEnergy.data());
    QTest::newRow("Morel-N: 0xF600") << "Morel-N" << QString(cmd::ModifyBaudRate.data());
}

void TestSimulator::addressChangeAfterReply()
{
    QFETCH(QString, meterType);
    QFETCH(QString, followUp);
    const auto type = meterType.toStdString();
    SimProcess sim;
    startDefault(sim, {"--meter", meterType + "@1"});

    engine::OperationState state;
    const auto kind = catalogue::GetFrameKind(type, cmd::ModifyMeterAddress);
    const auto verdict = engine::AcceptParameter(state, type, cmd::ModifyMeterAddress, kind, "5", "");
    sim.send(engine::BuildRequestFrame(kind, cmd::ModifyMeterAddress,
                                       catalogue::Find_Code(type, cmd::ModifyMeterAddress)->request, 1, verdict.code,
                                       {}, {}));
    const auto echo = BytesOf(sim.receive(8, 2s));
    QVERIFY(engine::ValidateReply(echo, static_cast<int>(echo.size()), 1,
                                  catalogue::Find_Code(type, cmd::ModifyMeterAddress)->reply));

    const auto next = followUp.toStdString();
    sim.send(catalogueRequest(type, next, 5));
    const auto reply = BytesOf(sim.receive(echo.size() + 1, 2s)); // 9 for a read, 8 for an echo
    QVERIFY2(engine::ValidateReply(reply, static_cast<int>(reply.size()), 5, catalogue::Find_Code(type, next)->reply),
             qPrintable(hexText(reply)));

    sim.send(catalogueRequest(type, next, 1));
    QVERIFY(sim.receive(1, 400ms).empty());
    QCOMPARE(sim.stop(), 0);
}

void TestSimulator::baudChangeAfterReply()
{
    SimProcess sim;
    startDefault(sim, {"--meter", "Morel-K@1"});
    engine::OperationState state;
    const auto kind = catalogue::GetFrameKind("Morel-K", cmd::ModifyBaudRate);
    const auto verdict = engine::AcceptParameter(state, "Morel-K", cmd::ModifyBaudRate, kind, "1200", "");
    QVERIFY(verdict.accepted);
    sim.send(engine::BuildRequestFrame(kind, cmd::ModifyBaudRate,
                                       catalogue::Find_Code("Morel-K", cmd::ModifyBaudRate)->request, 1, verdict.code,
                                       {}, {}));
    // The echo still goes out at 9600 baud: about 1 ms between bytes, not 8.
    const auto echo = sim.receive(8, 2s);
    QCOMPARE(echo.size(), 8u);
    QVERIFY2(medianGapMs(echo) < 4.0, qPrintable(QString::number(medianGapMs(echo))));

    // The next reply is paced at 1200 baud: 9 characters of 10 bits.
    const auto sent = sim.send(catalogueRequest("Morel-K", cmd::ReadEnergy, 1));
    const auto reply = sim.receive(9, 3s);
    QCOMPARE(reply.size(), 9u);
    QVERIFY2(msBetween(sent, reply.back().at) >= 0.95 * 9 * 10 * 1000.0 / 1200,
             qPrintable(QString::number(msBetween(sent, reply.back().at))));
    QVERIFY(sim.logText().contains("1200 8N1"));
    QCOMPARE(sim.stop(), 0);
}

void TestSimulator::pacing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<double>("characterMs");
    QTest::newRow("9600 8N1") << QStringList{} << 10 * 1000.0 / 9600;
    QTest::newRow("1200 8N1") << QStringList{"--baud", "1200"} << 10 * 1000.0 / 1200;
    QTest::newRow("1200 8E2") << QStringList{"--baud", "1200", "--parity", "even", "--stop-bits", "2"}
                              << 12 * 1000.0 / 1200;
}

void TestSimulator::pacing()
{
    QFETCH(QStringList, arguments);
    QFETCH(double, characterMs);
    SimProcess sim;
    startDefault(sim, arguments);
    // Request end to reply end: nine characters, never less; the quickest of
    // three tries shows how little the process adds.
    double quickest = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto sent = sim.send(ReadEnergyAt1);
        const auto reply = sim.receive(9, 3s);
        QCOMPARE(hexText(BytesOf(reply)), hexText(EnergyReplyAt1));
        const double ms = msBetween(sent, reply.back().at);
        QVERIFY2(ms >= 0.95 * 9 * characterMs, qPrintable(QString::number(ms)));
        quickest = std::min(quickest, ms);
    }
    qInfo("8-byte request to 9-byte reply end: %.2f ms (9 characters: %.2f ms)", quickest, 9 * characterMs);
    QVERIFY2(quickest <= 9 * characterMs + 40, qPrintable(QString::number(quickest)));
    QCOMPARE(sim.stop(), 0);
}

void TestSimulator::faultSilent()
{
    SimProcess sim;
    startDefault(sim, {"--fault", "silent"});
    sim.send(ReadEnergyAt1);
    QVERIFY(sim.receive(1, 500ms).empty());
    QCOMPARE(sim.stop(), 0);
}

void TestSimulator::faultBadCrc()
{
    SimProcess sim;
    startDefault(sim, {"--fault", "bad-crc"});
    sim.send(ReadEnergyAt1);
    const auto reply = BytesOf(sim.receive(9, 2s));
    QCOMPARE(reply.size(), 9u);
    QCOMPARE(hexText(Bytes(reply.begin(), reply.begin() + 7)), hexText(Bytes(EnergyReplyAt1.begin(), EnergyReplyAt1.begin() + 7)));
    QVERIFY(reply[7] != EnergyReplyAt1[7] && reply[8] != EnergyReplyAt1[8]);
    QVERIFY(!engine::ValidateReply(reply, 9, 1, "010404"));
    QCOMPARE(sim.stop(), 0);
}

void TestSimulator::faultException_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<Bytes>("reply");
    QTest::newRow("exception -> 01 84 04") << "exception" << withCrc("018404");
    QTest::newRow("exception:2 -> 01 84 02") << "exception:2" << withCrc("018402");
}

void TestSimulator::faultException()
{
    QFETCH(QString, mode);
    QFETCH(Bytes, reply);
    SimProcess sim;
    startDefault(sim, {"--fault", mode});
    sim.send(ReadEnergyAt1);
    QCOMPARE(hexText(BytesOf(sim.receive(reply.size(), 2s))), hexText(reply));
    QVERIFY(sim.receive(1, 50ms).empty());
    QCOMPARE(sim.stop(), 0);
}

void TestSimulator::faultSplit()
{
    SimProcess sim;
    startDefault(sim, {"--fault", "split:3:150"});
    sim.send(ReadEnergyAt1);
    const auto reply = sim.receive(9, 3s);
    QCOMPARE(hexText(BytesOf(reply)), hexText(EnergyReplyAt1));
    // Three chunks of three bytes: the two long pauses come after bytes 3 and 6.
    std::vector<std::pair<double, std::size_t>> gaps;
    for (std::size_t i = 1; i < reply.size(); ++i)
        gaps.emplace_back(msBetween(reply[i - 1].at, reply[i].at), i);
    std::sort(gaps.rbegin(), gaps.rend());
    QVERIFY2(gaps[1].first >= 100, qPrintable(QString::number(gaps[1].first)));
    QCOMPARE(std::min(gaps[0].second, gaps[1].second), 3u);
    QCOMPARE(std::max(gaps[0].second, gaps[1].second), 6u);
    QCOMPARE(sim.stop(), 0);
}

void TestSimulator::faultLate()
{
    SimProcess sim;
    startDefault(sim, {"--fault", "late:300"});
    const auto sent = sim.send(ReadEnergyAt1);
    const auto reply = sim.receive(9, 3s);
    QCOMPARE(hexText(BytesOf(reply)), hexText(EnergyReplyAt1));
    QVERIFY2(msBetween(sent, reply.front().at) >= 300, qPrintable(QString::number(msBetween(sent, reply.front().at))));
    QCOMPARE(sim.stop(), 0);
}

void TestSimulator::faultGarbage()
{
    SimProcess sim;
    startDefault(sim, {"--fault", "garbage:5"});
    sim.send(ReadEnergyAt1);
    const auto reply = BytesOf(sim.receiveUntilQuiet(100ms, 3s));
    QCOMPARE(reply.size(), 14u);
    QCOMPARE(hexText(Bytes(reply.begin(), reply.begin() + 9)), hexText(EnergyReplyAt1));
    // Gathered as one reply, as the tool gathers it, the whole is rejected.
    QVERIFY(!engine::ValidateReply(reply, 14, 1, "010404"));
    QCOMPARE(sim.stop(), 0);
}

void TestSimulator::faultChatter_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("junkBytes"); // 0: keeps talking for a while
    QTest::newRow("chatter:40") << "chatter:40" << 40;
    QTest::newRow("chatter") << "chatter" << 0;
}

void TestSimulator::faultChatter()
{
    QFETCH(QString, mode);
    QFETCH(int, junkBytes);
    SimProcess sim;
    startDefault(sim, {"--fault", mode});
    sim.send(ReadEnergyAt1);
    const auto arrivals = sim.receiveUntilQuiet(150ms, 5s);
    const auto bytes = BytesOf(arrivals);
    QVERIFY(bytes.size() >= 9);
    QCOMPARE(hexText(Bytes(bytes.begin(), bytes.begin() + 9)), hexText(EnergyReplyAt1));
    if (junkBytes > 0) {
        QCOMPARE(bytes.size(), 9u + static_cast<std::size_t>(junkBytes));
    } else {
        QVERIFY2(bytes.size() > 109, qPrintable(QString::number(bytes.size())));
        QVERIFY(msBetween(arrivals[8].at, arrivals.back().at) >= 300);
    }
    QCOMPARE(sim.stop(), 0);
}

void TestSimulator::faultOnce()
{
    SimProcess sim;
    startDefault(sim, {"--fault", "exception,once"});
    sim.send(ReadEnergyAt1);
    QCOMPARE(hexText(BytesOf(sim.receive(5, 2s))), hexText(withCrc("018404")));
    sim.send(ReadEnergyAt1);
    QCOMPARE(hexText(BytesOf(sim.receive(9, 2s))), hexText(EnergyReplyAt1));
    QCOMPARE(sim.stop(), 0);
}

void TestSimulator::linkLogAndCleanStop()
{
    QTemporaryDir folder;
    const auto link = folder.filePath("meter-port");
    const auto logFile = folder.filePath("sim.log");
    SimProcess sim;
    startDefault(sim, {"--link", link, "--log", logFile});
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.port());

    sim.send(ReadEnergyAt1);
    QCOMPARE(sim.receive(9, 2s).size(), 9u);
    QCOMPARE(sim.stop(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());

    QFile log(logFile);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const auto text = QString::fromUtf8(log.readAll());
    QVERIFY2(text.contains(QRegularExpression(R"(\d\d:\d\d:\d\d\.\d\d\d RX +01 04 01 56 00 02 90 27 )")), qPrintable(text));
    QVERIFY2(text.contains(QRegularExpression(R"(\d\d:\d\d:\d\d\.\d\d\d TX +01 04 04 44 9A 52 2B B2 24 )")), qPrintable(text));
}

void TestSimulator::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("--help") << QStringList{"--help"} << 0;
    QTest::newRow("--meter Tarvik@1") << QStringList{"--meter", "Tarvik@1"} << 2;
    QTest::newRow("--meter \"Tarvik CT@248\"") << QStringList{"--meter", "Tarvik CT@248"} << 2;
    QTest::newRow("two meters at 1") << QStringList{"--meter", "Tarvik CT@1", "--meter", "Morel-K@1"} << 2;
    QTest::newRow("--fault split:1:10") << QStringList{"--fault", "split:1:10"} << 2;
    QTest::newRow("--fault loud") << QStringList{"--fault", "loud"} << 2;
    QTest::newRow("--baud 1000") << QStringList{"--baud", "1000"} << 2;
    QTest::newRow("--energy -1") << QStringList{"--energy", "-1"} << 2;
    QTest::newRow("--energy 5e8 for Pesca-K") << QStringList{"--energy", "5e8", "--meter", "Pesca-K@1"} << 2;
    QTest::newRow("--device /nonexistent") << QStringList{"--device", "/nonexistent/tty"} << 1;
}

void TestSimulator::commandLineErrors()
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
        QVERIFY(process.readAllStandardOutput().contains("--fault <MODE>"));
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"

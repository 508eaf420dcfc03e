// The bus window against the simulator on pseudo-terminals and as a gateway:
// scan, cancel, changes verified or not, plans, watch, and its accessible face.
#include "simulatorlink.h"

#include "engine/addressrule.h"
#include "ui/bus/buswindow.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QtTest>

using bus::FoundModel;

namespace {

// One window over a fresh History.log folder.
struct Window {
    QTemporaryDir folder;
    bus::BusWindow window{{{}, folder.path(), folder.path()}};
    template <typename T>
    T *control(const QString &accessibleName)
    {
        for (T *child : window.findChildren<T *>())
            if (child->accessibleName() == accessibleName)
                return child;
        return nullptr;
    }
    // Starts a scan of `addresses` at the baud rates given, none/1 only.
    void scan(const QString &addresses, const QString &bauds = {})
    {
        control<QLineEdit>("Addresses")->setText(addresses);
        control<QLineEdit>("Baud rates to sweep")->setText(bauds);
        for (const char *name : {"Parity even", "Parity odd", "2 stop bits"})
            control<QCheckBox>(name)->setChecked(false);
        window.startScan();
    }
    bool waitDone(int ms = 60000)
    {
        QSignalSpy done(&window, &bus::BusWindow::workFinished);
        return !window.busy() || done.wait(ms);
    }
    QString cell(int row, int column) { return window.found().index(row, column).data().toString(); }
    int rowAt(const QString &port, int address)
    {
        const auto &rows = window.found().rows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (QString::fromStdString(rows[i].device.port) == port && rows[i].device.address == address)
                return int(i);
        return -1;
    }
};

engine::LineSettings at(int baud)
{
    engine::LineSettings settings;
    settings.baud = baud;
    return settings;
}

} // namespace

class TestBusWindow : public QObject
{
    Q_OBJECT
private slots:
    void scanFindsMetersOnEveryLine();
    void cancelledScan();
    void cellsRefuseWhatTheDialogsRefuse_data();
    void cellsRefuseWhatTheDialogsRefuse();
    void changeApplied_data();
    void changeApplied();
    void planOpenedAppliedSaved();
    void watchCountsAndMarksASilentMeter();
    void drivenThroughAccessibility();
};

void TestBusWindow::scanFindsMetersOnEveryLine()
{
    Simulator line;
    QVERIFY(line.start({"--meter", "Tarvik CT@3", "--meter", "Morel-K@7,19200"}));
    ListeningSimulator gateway;
    QVERIFY(gateway.start({"--listen", "rtu-tcp://127.0.0.1:0", "--meter", "Tarvik CT@5"}));
    Window w;
    w.window.addLine(line.link, at(9600));
    w.window.addLine(gateway.port, at(9600));
    w.scan("1-8", "9600,19200");
    QVERIFY(w.window.busy());
    QVERIFY(w.waitDone());
    QCOMPARE(w.window.found().rowCount(), 3);
    const int first = w.rowAt(line.link, 3), second = w.rowAt(line.link, 7), behind = w.rowAt(gateway.port, 5);
    QVERIFY(first >= 0 && second >= 0 && behind >= 0);
    QCOMPARE(w.cell(first, FoundModel::Settings), QString("9600 8N1"));
    QCOMPARE(w.cell(second, FoundModel::Settings), QString("19200 8N1"));
    QCOMPARE(w.cell(behind, FoundModel::Settings), QString("through the gateway"));
    QCOMPARE(w.cell(first, FoundModel::Energy), QString("1234.5677"));
    QCOMPARE(w.cell(second, FoundModel::Type), QString("Morel-K"));
    QCOMPARE(w.cell(first, FoundModel::Answer), QString("read"));
}

void TestBusWindow::cancelledScan()
{
    Simulator line;
    QVERIFY(line.start({"--meter", "Tarvik CT@200"}));
    Window w;
    w.window.addLine(line.link, at(9600));
    w.scan("1-247");
    auto *progress = w.control<QProgressBar>("Progress");
    QTRY_VERIFY_WITH_TIMEOUT(progress->value() >= 3, 30000);
    w.window.cancelWork();
    QVERIFY(w.waitDone(30000));
    QVERIFY(progress->value() < progress->maximum());
    QCOMPARE(w.window.found().rowCount(), 0);
    // The line was left closed: the next scan opens it and finds the meter.
    w.scan("200");
    QVERIFY(w.waitDone());
    QCOMPARE(w.window.found().rowCount(), 1);
}

void TestBusWindow::cellsRefuseWhatTheDialogsRefuse_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("refusal"); // empty: taken
    QTest::newRow("address 16") << int(FoundModel::NewAddress) << "16" << "";
    QTest::newRow("address 248") << int(FoundModel::NewAddress) << "248" << QString::fromLatin1(engine::AddressRangeMessage.data());
    QTest::newRow("address 1a") << int(FoundModel::NewAddress) << "1a" << QString::fromLatin1(engine::IllegalCharactersMessage.data());
    QTest::newRow("baud 19200") << int(FoundModel::NewBaud) << "19200" << "";
    QTest::newRow("baud 12345") << int(FoundModel::NewBaud) << "12345" << "Modify Baud Rate to 12345: ";
    QTest::newRow("parity even/1") << int(FoundModel::NewParity) << "even/1" << "";
    QTest::newRow("parity even/3") << int(FoundModel::NewParity) << "even/3" << "parity/stop bits as ";
    QTest::newRow("type Morel-K") << int(FoundModel::Type) << "Morel-K" << "";
    QTest::newRow("type Morel") << int(FoundModel::Type) << "Morel" << "not a meter type: Morel";
}

void TestBusWindow::cellsRefuseWhatTheDialogsRefuse()
{
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QString, refusal);
    FoundModel model;
    jobs::FoundDevice device;
    device.port = "/dev/ttyUSB0";
    device.address = 3;
    device.answersRead = true;
    device.types = {{"Tarvik CT", "1.5"}};
    model.add(device);
    QSignalSpy refused(&model, &FoundModel::refused);
    const bool taken = model.setData(model.index(0, column), value);
    QCOMPARE(taken, refusal.isEmpty());
    if (taken) {
        QCOMPARE(model.index(0, column).data().toString(), value);
        QCOMPARE(refused.count(), 0);
    } else {
        QCOMPARE(refused.count(), 1);
        QVERIFY2(refused.front().front().toString().startsWith(refusal), qPrintable(refused.front().front().toString()));
        QVERIFY(model.index(0, column).data().toString() != value);
    }
}

void TestBusWindow::changeApplied_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("addressAfter");
    QTest::newRow("verified") << QStringList() << "verified: Modify Meter Address to 16: verified" << 16;
    QTest::newRow("acknowledged, not taken") << QStringList{"--fault", "keep-settings"}
                                             << "unverified: Modify Meter Address to 16: unverified" << 3;
}

void TestBusWindow::changeApplied()
{
    QFETCH(QStringList, faults);
    QFETCH(QString, status);
    QFETCH(int, addressAfter);
    Simulator line;
    QVERIFY(line.start(QStringList{"--meter", "Tarvik CT@3"} + faults));
    Window w;
    w.window.addLine(line.link, at(9600));
    w.scan("3");
    QVERIFY(w.waitDone());
    QCOMPARE(w.window.found().rowCount(), 1);
    QVERIFY(w.window.found().setData(w.window.found().index(0, FoundModel::NewAddress), "16"));
    w.window.applyChanges();
    QVERIFY(w.waitDone());
    QVERIFY2(w.cell(0, FoundModel::Status).startsWith(status), qPrintable(w.cell(0, FoundModel::Status)));
    QCOMPARE(w.cell(0, FoundModel::Address).toInt(), addressAfter);
    // The write is in History.log, as the main window writes it.
    QFile log(w.folder.filePath("History.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("Modify Meter Address"));
}

void TestBusWindow::planOpenedAppliedSaved()
{
    Simulator line;
    QVERIFY(line.start({"--meter", "Tarvik CT@3", "--meter", "Tarvik CT@4"}));
    Window w;
    w.window.addLine(line.link, at(9600));
    const QString plan = w.folder.filePath("plan.csv");
    QFile file(plan);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(("port,address,meter,new_address\r\n" + line.link + ",3,Tarvik CT,20\r\n" + line.link
                + ",4,Tarvik CT,300\r\n").toUtf8());
    file.close();
    // The second row's new address is refused as the address box refuses it.
    QVERIFY(!w.window.openPlan(plan));
    QCOMPARE(w.window.found().rowCount(), 2);
    w.window.applyChanges();
    QVERIFY(w.waitDone());
    QCOMPARE(w.cell(w.rowAt(line.link, 20), FoundModel::Type), QString("Tarvik CT"));
    const QString saved = w.folder.filePath("result.csv");
    QVERIFY(w.window.savePlan(saved));
    QFile result(saved);
    QVERIFY(result.open(QIODevice::ReadOnly));
    const auto lines = QString::fromUtf8(result.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[1].startsWith(line.link + ",20,Tarvik CT,,") && lines[1].contains(",verified,"), qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith(line.link + ",4,Tarvik CT,,"), qPrintable(lines[2]));
}

void TestBusWindow::watchCountsAndMarksASilentMeter()
{
    auto line = std::make_unique<Simulator>();
    QVERIFY(line->start({"--meter", "Tarvik CT@3", "--meter", "Morel-K@7"}));
    Window w;
    w.window.addLine(line->link, at(9600), 200);
    w.scan("3,7");
    QVERIFY(w.waitDone());
    QCOMPARE(w.window.found().rowCount(), 2);
    const QString logPath = w.folder.filePath("watch.csv");
    w.window.setWatchLog(logPath);
    w.control<QSpinBox>("Watch interval in seconds")->setValue(0);
    w.window.startWatch();
    const auto &rows = w.window.watched().rows();
    QCOMPARE(rows.size(), std::size_t(2));
    QTRY_VERIFY_WITH_TIMEOUT(rows[0].tally.answered() >= 3 && rows[1].tally.answered() >= 3, 30000);
    QVERIFY(!rows[0].silent);
    // The meters' line goes away: both are marked at once.
    line.reset();
    QTRY_VERIFY_WITH_TIMEOUT(rows[0].silent && rows[1].silent, 30000);
    w.window.stopWatch();
    QVERIFY(w.waitDone(30000));
    QCOMPARE(w.window.watched().index(0, bus::WatchModel::State).data().toString(), QString("not answering"));
    // Every reading counted is a row of the log, whole.
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const auto lines = QString::fromUtf8(log.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QVERIFY(lines[0].startsWith("# started ") && lines[0].contains(line ? QString() : "8N1"));
    QCOMPARE(lines[1], QString("time,port,address,meter,outcome,detail,energy_kwh,response_ms"));
    QCOMPARE(lines.size() - 2, int(rows[0].tally.sent() + rows[1].tally.sent()));
    QVERIFY(lines[2].contains(",answered,"));
}

void TestBusWindow::drivenThroughAccessibility()
{
    Simulator line;
    QVERIFY(line.start({"--meter", "Tarvik CT@3"}));
    Window w;
    w.window.addLine(line.link, at(9600));
    w.control<QLineEdit>("Addresses")->setText("2-4");
    for (const char *name : {"Parity even", "Parity odd", "2 stop bits"})
        w.control<QCheckBox>(name)->setChecked(false);
    w.window.show();
    QAccessibleInterface *root = QAccessible::queryAccessibleInterface(&w.window);
    QVERIFY(root);
    // Finds a control the way a screen reader does: by the name it says.
    const std::function<QAccessibleInterface *(QAccessibleInterface *, const QString &, QAccessible::Role)> find =
        [&](QAccessibleInterface *node, const QString &name, QAccessible::Role role) -> QAccessibleInterface * {
        if (node->text(QAccessible::Name) == name && node->role() == role)
            return node;
        for (int i = 0; i < node->childCount(); ++i)
            if (auto *hit = find(node->child(i), name, role))
                return hit;
        return nullptr;
    };
    auto *scan = find(root, "Scan", QAccessible::Button);
    QVERIFY(scan && scan->actionInterface());
    QVERIFY(find(root, "Cancel", QAccessible::Button));
    QVERIFY(find(root, "Apply changes", QAccessible::Button));
    QVERIFY(find(root, "Export", QAccessible::Button));
    auto *table = find(root, "Found meters", QAccessible::Table);
    QVERIFY(table && table->tableInterface());
    // The press may come a moment later, as a pressed button's click does.
    scan->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE_WITH_TIMEOUT(table->tableInterface()->rowCount(), 1, 60000);
    QVERIFY(w.waitDone());
    QCOMPARE(table->tableInterface()->cellAt(0, FoundModel::Address)->text(QAccessible::Name), QString("3"));
    QCOMPARE(table->tableInterface()->cellAt(0, FoundModel::Type)->text(QAccessible::Name), QString("Tarvik CT"));
}

QTEST_MAIN(TestBusWindow)
#include "tst_buswindow.moc"

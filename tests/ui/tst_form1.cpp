#include "formharness.h"

#include "ui/dialogs/historyform.h"
#include "ui/main/circleindicator.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTimer>

namespace {

QStringList items(const QComboBox *list)
{
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all << list->itemText(i);
    return all;
}

QString controlText(const QWidget *w)
{
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto *p = qobject_cast<const QPlainTextEdit *>(w))
        return p->toPlainText();
    return {};
}

void writeLog(const QString &path, qint64 size)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(QByteArray(size, 'x')) == size);
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private slots:
    void controls_data();
    void controls();
    void startUpEndState();
    void noPortAtAll();
    void portsListedHighestFirst();
    void openCloseReopen();
    void choosingPortWhileClosedNeverOpens();
    void busyPortWhileSwitching();
    void lineSettings_data();
    void lineSettings();
    void refusedSettingsKeepSummary();
    void flowControl_data();
    void flowControl();
    void meterTypeSelection();
    void addressEntry_data();
    void addressEntry();
    void historySizeCheck_data();
    void historySizeCheck();
    void viewerShowsNewestLines_data();
    void viewerShowsNewestLines();
    void viewerShowsMarkupAsText();
    void viewerFollowsTheLog();
    void logoShownWhenPresent();
    void closingClosesPortAndViewer();
    void fontsAndTraceFrame();
    void captionsFitTheirControls();
};

void TestForm1::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twips");

    const struct {
        const char *name, *container, *text;
        int l, t, w, h;
    } rows[] = {
        {"Frame2", "Form1", "", 120, 840, 2205, 545},
        {"Label14", "Frame2", "Comm Port", 80, 210, 975, 255},
        {"Combo6", "Frame2", "COM1", 1080, 160, 1095, 345},
        {"Frame3", "Form1", "", 120, 1400, 2205, 1995},
        {"Label7", "Frame3", "Baud Rate", 80, 240, 855, 255},
        {"Combo1", "Frame3", "9600", 1080, 180, 1095, 345},
        {"Label15", "Frame3", "Data Bits", 80, 585, 855, 255},
        {"Combo2", "Frame3", "8", 1080, 540, 1095, 345},
        {"Label16", "Frame3", "Stop Bits", 80, 960, 855, 255},
        {"Combo3", "Frame3", "1", 1080, 900, 1095, 345},
        {"Label17", "Frame3", "Parity", 80, 1300, 615, 255},
        {"Combo4", "Frame3", "None", 1080, 1260, 1095, 345},
        {"Label18", "Frame3", "Flow", 80, 1665, 1095, 255},
        {"Combo5", "Frame3", "None", 1080, 1600, 1095, 345},
        {"open_close_Command", "Form1", "Open Port", 120, 260, 1140, 360},
        {"Shape2", "Form1", "", 1440, 240, 615, 375},
        {"Label1", "Form1", "Meter Type :", 2880, 300, 1095, 225},
        {"Combo7", "Form1", "Tarvik CT", 3960, 240, 2175, 345},
        {"Label2", "Form1", "Command :", 2920, 915, 975, 255},
        {"Combo8", "Form1", "Read Energy", 3960, 840, 2175, 345},
        {"Label3", "Form1", "Current Address :", 2500, 1560, 1695, 255},
        {"addr_Text", "Form1", "1", 3960, 1500, 2175, 330},
        {"Send_command", "Form1", "Confirm", 3400, 2160, 975, 375},
        {"History_command", "Form1", "History", 4200, 2880, 975, 375},
        {"Rev_Show_Text", "Form1", "", 6360, 240, 4335, 2055},
        {"Frame4", "Form1", "Term Show", 6480, 2280, 1695, 495},
        {"Hex_Opt", "Frame4", "", 120, 220, 255, 180},
        {"Label19", "Frame4", "Hex", 400, 180, 495, 225},
        {"Dec_Opt", "Frame4", "", 900, 220, 255, 180},
        {"Label20", "Frame4", "Dec", 1200, 180, 375, 225},
        {"Label13", "Form1", "Auto Delete", 9360, 2445, 1095, 255},
        {"Check2", "Form1", "", 10400, 2440, 255, 255},
        {"Image1", "Form1", "", 8400, 2880, 2175, 495},
        {"Frame1", "Form1", "", 120, 3400, 10515, 398},
        {"Label4", "Frame1", "COM1 Closed", 120, 120, 1455, 225},
        {"Label10", "Frame1", "9600bps,8,1,None", 1580, 120, 1995, 225},
        {"Label8", "Frame1", "Succeed :", 3600, 120, 1455, 225},
        {"Success_Label", "Frame1", "0", 4440, 120, 615, 225},
        {"Label9", "Frame1", "Failed :", 5160, 120, 735, 225},
        {"Err_Label", "Frame1", "0", 5800, 120, 480, 225},
        {"Label5", "Frame1", "Current Meter Address : 1", 6480, 120, 2655, 225},
        {"Label6", "Frame1", "No Operate", 9160, 120, 975, 225},
        {"Shape1", "Frame1", "", 10120, 165, 255, 165},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << r.name << r.container << r.text << QRect(r.l, r.t, r.w, r.h);
}

void TestForm1::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QString, text);
    QFETCH(QRect, twips);

    FormHarness h;
    auto &form = h.load();
    auto *control = form.findChild<QWidget *>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->parentWidget()->objectName(), container);
    if (auto *list = qobject_cast<QComboBox *>(control))
        QCOMPARE(list->currentText(), text);
    else
        QCOMPARE(controlText(control), text);
    QCOMPARE(control->geometry(), QRect(ui::px(twips.x()), ui::px(twips.y()), ui::px(twips.width()), ui::px(twips.height())));
}

void TestForm1::startUpEndState()
{
    FormHarness h;
    auto &form = h.load();

    QCOMPARE(form.windowTitle(), QStringLiteral("Quorvane V2.1.0"));
    QCOMPARE(form.size(), QSize(715, 261));
    QCOMPARE(items(form.Combo1), QStringList({"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                                               "38400", "56000", "57600", "115200", "128000", "256000"}));
    QCOMPARE(items(form.Combo2), QStringList({"5", "6", "7", "8"}));
    QCOMPARE(items(form.Combo3), QStringList({"1", "1.5", "2"}));
    QCOMPARE(items(form.Combo4), QStringList({"None", "Odd", "Even", "Mark", "Space"}));
    QCOMPARE(items(form.Combo5), QStringList({"Hardware", "Software", "None", "Custom"}));

    // Port closed, settings of the defaults, buffers configured, nothing said.
    QVERIFY(!h.port.isOpen());
    QCOMPARE(h.port.settingsText(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(int(h.port.handshaking()), 0);
    QCOMPARE(h.port.inputBufferSize(), 512);
    QCOMPARE(h.port.outputBufferSize(), 512);
    QCOMPARE(h.port.portName(), QStringLiteral("COM1"));
    QVERIFY(h.messages.entries.isEmpty());

    QVERIFY(!form.Send_command->isEnabled());
    QCOMPARE(form.Shape2->fillColor(), QColor(255, 0, 0));
    QCOMPARE(form.Shape1->fillColor(), QColor(255, 255, 0));
    QVERIFY(form.Hex_Opt->isChecked() && !form.Check2->isChecked());
    QVERIFY(form.Image1->pixmap().isNull());
    QCOMPARE(form.Timer1->interval(), 50);
    QCOMPARE(form.Timer2->interval(), 1000);
    QVERIFY(!form.Timer1->isActive() && !form.Timer2->isActive());

    const auto &state = form.state();
    QVERIFY(!form.replyLine().awaitingReply() && form.replyLine().gathered().empty() && state.SuccessCount == 0
            && state.FailCount == 0);
    QCOMPARE(state.FrameKind, quint8(1));
    QCOMPARE(state.RequestCode, std::string("010401560002"));
    QCOMPARE(state.ReplyCode, std::string("010404"));
    QVERIFY2(!QFile::exists(h.logPath()), "start-up creates no log");
}

void TestForm1::noPortAtAll()
{
    FormHarness h(QStringList{});
    auto &form = h.load();
    QCOMPARE(form.Combo6->count(), 0);
    QCOMPARE(form.Label4->text(), QStringLiteral("No Serial Port"));
    QCOMPARE(form.Label10->text(), QString());
    QVERIFY(!form.Send_command->isEnabled());

    form.open_close_Command_Click();
    QCOMPARE(h.messages.texts(), QStringList{"no available serial port!"});
    QCOMPARE(h.messages.entries.front().caption, QStringLiteral("ERROR"));
    QCOMPARE(h.messages.entries.front().style, 16);
    QCOMPARE(form.open_close_Command->text(), QStringLiteral("Open Port"));
    QVERIFY(!form.Send_command->isEnabled());
}

void TestForm1::portsListedHighestFirst()
{
    FormHarness h({"COM1", "COM3", "COM12"});
    auto &form = h.load();
    QCOMPARE(items(form.Combo6), QStringList({"COM12", "COM3", "COM1"}));
    QCOMPARE(form.Combo6->currentText(), QStringLiteral("COM1"));
    QCOMPARE(form.Label4->text(), QStringLiteral("COM1 Closed"));
    QCOMPARE(h.port.openedPorts(), QStringList({"COM12", "COM3", "COM1"}));
    QVERIFY(!h.port.isOpen());
}

void TestForm1::openCloseReopen()
{
    FormHarness h;
    auto &form = h.load();
    for (int round = 0; round < 2; ++round) {
        form.open_close_Command_Click();
        QVERIFY(h.port.isOpen());
        QCOMPARE(form.open_close_Command->text(), QStringLiteral("Close Port"));
        QCOMPARE(form.Shape2->fillColor(), QColor(0, 255, 0));
        QCOMPARE(form.Label4->text(), QStringLiteral("COM1 Opened"));
        QVERIFY(form.Send_command->isEnabled());

        form.open_close_Command_Click();
        QVERIFY(!h.port.isOpen());
        QCOMPARE(form.open_close_Command->text(), QStringLiteral("Open Port"));
        QCOMPARE(form.Shape2->fillColor(), QColor(255, 0, 0));
        QCOMPARE(form.Label4->text(), QStringLiteral("COM1 Closed"));
        QVERIFY(!form.Send_command->isEnabled());
    }
    QVERIFY(h.messages.entries.isEmpty());
}

void TestForm1::choosingPortWhileClosedNeverOpens()
{
    FormHarness h;
    auto &form = h.load();
    const int opensBefore = h.port.openCalls();
    form.Combo6->setCurrentText(QStringLiteral("COM12"));
    emit form.Combo6->activated(form.Combo6->currentIndex());
    QCOMPARE(h.port.openCalls(), opensBefore);
    QCOMPARE(h.port.portName(), QStringLiteral("COM12"));
    QCOMPARE(form.Label4->text(), QStringLiteral("COM12 Closed"));
}

void TestForm1::busyPortWhileSwitching()
{
    FormHarness h;
    auto &form = h.load();
    form.open_close_Command_Click();
    QVERIFY(h.port.isOpen());
    h.port.setBusyPorts({"COM3"});

    form.Combo6->setCurrentText(QStringLiteral("COM3"));
    emit form.Combo6->activated(form.Combo6->currentIndex());

    QCOMPARE(h.messages.texts(), QStringList{"The serial port is already in use!"});
    QCOMPARE(h.messages.entries.front().caption, messages::ApplicationTitle);
    QVERIFY(!h.port.isOpen());
    QCOMPARE(form.open_close_Command->text(), QStringLiteral("Open Port"));
    QCOMPARE(form.Shape2->fillColor(), QColor(255, 0, 0));
    QCOMPARE(form.Label4->text(), QStringLiteral("COM3 Closed"));
    QVERIFY(!form.Send_command->isEnabled());

    // Opening it by the button then says so in its own words.
    form.open_close_Command_Click();
    QCOMPARE(h.messages.texts().last(), QStringLiteral("The serial port is already in use,Please re-select!"));
}

void TestForm1::lineSettings_data()
{
    QTest::addColumn<QStringList>("choices"); // "list=entry" in order
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("summary");
    QTest::newRow("Even") << QStringList{"Combo4=Even"} << "9600,E,8,1" << "9600bps,8,1,Even";
    QTest::newRow("Even then 2 stop bits") << QStringList{"Combo4=Even", "Combo3=2"} << "9600,E,8,2" << "9600bps,8,2,Even";
    QTest::newRow("115200, 7 data bits, Space") << QStringList{"Combo1=115200", "Combo2=7", "Combo4=Space"}
                                                << "115200,S,7,1" << "115200bps,7,1,Space";
}

void TestForm1::lineSettings()
{
    QFETCH(QStringList, choices);
    QFETCH(QString, settings);
    QFETCH(QString, summary);
    FormHarness h;
    auto &form = h.load();
    form.open_close_Command_Click();
    for (const auto &choice : choices) {
        auto *list = form.findChild<QComboBox *>(choice.section('=', 0, 0));
        list->setCurrentText(choice.section('=', 1));
        emit list->activated(list->currentIndex());
    }
    QCOMPARE(h.port.settingsText(), settings);
    QCOMPARE(form.Label10->text(), summary);
    QVERIFY2(h.port.isOpen(), "settings change the open port without closing it");
}

void TestForm1::refusedSettingsKeepSummary()
{
    FormHarness h;
    auto &form = h.load();
    h.port.refuseSettings(QStringLiteral("256000,N,8,1"));
    form.Combo1->setCurrentText(QStringLiteral("256000"));
    emit form.Combo1->activated(form.Combo1->currentIndex());
    QCOMPARE(h.messages.texts(), QStringList{"Does not support the parameters, please re select!"});
    QCOMPARE(h.messages.entries.front().style, 16);
    QCOMPARE(form.Label10->text(), QStringLiteral("9600bps,8,1,None"));
    QCOMPARE(form.Combo1->currentText(), QStringLiteral("256000"));
    QCOMPARE(h.port.settingsText(), QStringLiteral("9600,N,8,1"));
}

void TestForm1::flowControl_data()
{
    QTest::addColumn<QString>("flow");
    QTest::addColumn<int>("handshaking");
    QTest::newRow("Software") << "Software" << 1;
    QTest::newRow("Custom") << "Custom" << 3;
}

void TestForm1::flowControl()
{
    QFETCH(QString, flow);
    QFETCH(int, handshaking);
    FormHarness h;
    auto &form = h.load();
    form.Combo5->setCurrentText(flow);
    emit form.Combo5->activated(form.Combo5->currentIndex());
    QCOMPARE(int(h.port.handshaking()), handshaking);
}

void TestForm1::meterTypeSelection()
{
    FormHarness h;
    auto &form = h.load();
    form.Combo7->setCurrentText(QStringLiteral("Morel-N"));
    emit form.Combo7->activated(form.Combo7->currentIndex());
    QCOMPARE(items(form.Combo8), QStringList({"Set Tariff", "Set Time", "Modify Baud Rate", "Modify Meter Address"}));
    QCOMPARE(form.Combo8->currentText(), QStringLiteral("Set Tariff"));
    QCOMPARE(form.state().FrameKind, quint8(2));
    QCOMPARE(form.state().RequestCode, std::string("0110F700000F1E"));
    QCOMPARE(form.state().ReplyCode, std::string("0110F700000F"));

    form.Combo8->setCurrentText(QStringLiteral("Modify Baud Rate"));
    emit form.Combo8->activated(form.Combo8->currentIndex());
    QCOMPARE(form.state().ReplyCode, std::string("0110F8000001"));
}

void TestForm1::addressEntry_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");  // typed key by key at the end
    QTest::addColumn<QString>("pasted"); // or the whole text set at once
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("finalText");

    const QString range = QStringLiteral("The input data is out of range, please re-enter the numbers ranges from 1-247!");
    const QString illegal = QStringLiteral("The input data contains illegal characters, please re-enter effective number!");
    QTest::newRow("250 typed") << "" << "250" << "" << QStringList{range} << "25";
    QTest::newRow("248") << "" << "248" << "" << QStringList{range} << "24";
    QTest::newRow("247") << "" << "247" << "" << QStringList{} << "247";
    QTest::newRow("0") << "" << "0" << "" << QStringList{} << "0";
    QTest::newRow("deleted") << "" << "" << "" << QStringList{} << "";
    QTest::newRow("12 then a") << "12" << "a" << "" << QStringList{illegal} << "12";
    QTest::newRow("1a2") << "" << "" << "1a2" << QStringList{illegal, illegal} << "1";
    QTest::newRow("abc pasted") << "" << "" << "abc" << QStringList{illegal, illegal, illegal} << "";
    QTest::newRow("99999 pasted") << "" << "" << "99999" << QStringList{range, range, range} << "99";
    QTest::newRow("-5") << "" << "" << "-5" << QStringList{illegal, illegal} << "";
    QTest::newRow("+5") << "" << "" << "+5" << QStringList{illegal, illegal} << "";
    QTest::newRow("blank 5") << "" << "" << " 5" << QStringList{illegal, illegal} << "";
    QTest::newRow("leading zeros") << "" << "" << "0000000000000000000000012" << QStringList{} << "0000000000000000000000012";
    QTest::newRow("full-width digit") << "" << "" << QString::fromUtf8("1\uFF12") << QStringList{illegal} << "1";
}

void TestForm1::addressEntry()
{
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QStringList, messages);
    QFETCH(QString, finalText);

    FormHarness h;
    auto &form = h.load();
    form.addr_Text->setText(start);
    h.messages.entries.clear();
    if (!typed.isEmpty())
        QTest::keyClicks(form.addr_Text, typed);
    else
        form.addr_Text->setText(pasted);

    QCOMPARE(h.messages.texts(), messages);
    for (const auto &entry : std::as_const(h.messages.entries)) {
        QCOMPARE(entry.caption, QStringLiteral("INPUT ERROR"));
        QCOMPARE(entry.style, 16);
    }
    QCOMPARE(form.addr_Text->text(), finalText);
    QCOMPARE(form.addr_Text->cursorPosition(), static_cast<int>(finalText.size()));
    QCOMPARE(form.Label5->text(), QStringLiteral("Current Meter Address : ") + finalText);
}

void TestForm1::historySizeCheck_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("caption"); // empty: no message
    QTest::addColumn<bool>("kept");
    QTest::newRow("1,572,863 bytes") << qint64(1572863) << QString() << true;
    QTest::newRow("1,572,864 bytes") << qint64(1572864) << "NOTE" << true;
    QTest::newRow("2,097,152 bytes") << qint64(2097152) << "NOTE" << true;
    QTest::newRow("2,097,153 bytes") << qint64(2097153) << "Delete File" << false;
}

void TestForm1::historySizeCheck()
{
    QFETCH(qint64, size);
    QFETCH(QString, caption);
    QFETCH(bool, kept);
    FormHarness h;
    writeLog(h.logPath(), size);
    h.load();
    QCOMPARE(QFile::exists(h.logPath()), kept);
    if (caption.isEmpty()) {
        QVERIFY(h.messages.entries.isEmpty());
        return;
    }
    QCOMPARE(h.messages.entries.size(), 1);
    QCOMPARE(h.messages.entries.front().caption, caption);
    QCOMPARE(h.messages.entries.front().style, 48);
    QCOMPARE(h.messages.entries.front().text,
             kept ? QStringLiteral("The file volume of History.log is beyond 1.5MB,it will be deleted automatically when "
                                   "it's more than 2MB.Please save it in time.")
                  : QStringLiteral("The file of History.log is beyond 2MB,it will be automatically deleted automatically!"));
}

void TestForm1::viewerShowsNewestLines_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("firstShown");
    QTest::newRow("3 lines") << 3 << 1;
    QTest::newRow("401 lines") << 401 << 2;
    QTest::newRow("40,000 lines") << 40000 << 39601;
}

void TestForm1::viewerShowsNewestLines()
{
    QFETCH(int, lines);
    QFETCH(int, firstShown);
    FormHarness h;
    {
        QFile file(h.logPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (int i = 1; i <= lines; ++i)
            file.write(QStringLiteral("line %1\r\n").arg(i).toUtf8());
    }
    auto &form = h.load();
    form.History_command_Click();
    auto *viewer = form.historyForm();
    QVERIFY(viewer && viewer->isVisible());
    QCOMPARE(viewer->windowTitle(), QStringLiteral("The Historical Operation Information"));

    QStringList expected;
    for (int i = firstShown; i <= lines; ++i)
        expected << QStringLiteral("line %1").arg(i);
    QCOMPARE(viewer->Text1->toPlainText(), expected.join('\n'));
    QVERIFY(viewer->Text1->isReadOnly());
    QCOMPARE(viewer->Text1->textCursor().position(), viewer->Text1->document()->characterCount() - 1);

    // An entry written while the viewer is open shows at its next refresh.
    QFile file(h.logPath());
    QVERIFY(file.open(QIODevice::Append));
    file.write("newest\r\n");
    file.close();
    viewer->refresh();
    QVERIFY(viewer->Text1->toPlainText().endsWith(QStringLiteral("\nnewest")));
}

void TestForm1::viewerShowsMarkupAsText()
{
    FormHarness h;
    {
        QFile file(h.logPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        // Grown past the note size by short lines, as a log grows.
        const QByteArray line = QByteArray(98, 'x') + "\r\n";
        for (qint64 written = 0; written < history::NoteThreshold; written += line.size())
            file.write(line);
        file.write("<b>bold</b> &amp; <img src=x>\r\n");
    }
    auto &form = h.load();
    form.History_command_Click();
    const QString shown = form.historyForm()->Text1->toPlainText();
    QCOMPARE(shown.count(QLatin1Char('\n')), history::ViewerLines);
    QVERIFY(shown.endsWith(QStringLiteral("\n<b>bold</b> &amp; <img src=x>\nNote : The file volume of History.log is "
                                          "beyond 1.5MB,it will be deleted automatically when it's more than 2MB.Please "
                                          "save it in time.")));
}

// Re-read only when the log changed, wherever the change came from; the
// operator's scroll position stays while nothing changed; each opening starts afresh.
void TestForm1::viewerFollowsTheLog()
{
    FormHarness h;
    {
        QFile file(h.logPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (int i = 1; i <= 450; ++i)
            file.write(QStringLiteral("line %1\r\n").arg(i).toUtf8());
    }
    auto &form = h.load();
    form.History_command_Click();
    auto *viewer = form.historyForm();
    auto *scroll = viewer->Text1->verticalScrollBar();
    QVERIFY(scroll->maximum() > 10);
    scroll->setValue(10);
    viewer->refresh();
    QCOMPARE(scroll->value(), 10);

    // Another copy of the tool appends; repainting the window (as uncovering it does) shows it.
    history::HistoryLog otherCopy(h.folder.path(), {});
    QVERIFY(otherCopy.append(h.now, "Ventra", "Read Energy", " operation Fail! Response timeout.").written);
    viewer->Text1->viewport()->repaint();
    QTRY_VERIFY(viewer->Text1->toPlainText().endsWith(QStringLiteral("Ventra meter Read Energy operation Fail! Response timeout.")));
    QVERIFY(viewer->Text1->textCursor().atEnd() && scroll->value() > 10); // the newest in view

    viewer->close();
    QVERIFY(QFile::remove(h.logPath()));
    form.History_command_Click();
    QCOMPARE(viewer->Text1->toPlainText(), QString());
}

void TestForm1::logoShownWhenPresent()
{
    FormHarness h;
    QImage logo(40, 10, QImage::Format_RGB32);
    logo.fill(Qt::blue);
    QVERIFY(logo.save(h.folder.filePath(QStringLiteral("KELDRAN.jpg")), "JPG"));
    auto &form = h.load();
    QVERIFY(!form.Image1->pixmap().isNull());
}

void TestForm1::closingClosesPortAndViewer()
{
    FormHarness h;
    auto &form = h.load();
    form.show();
    form.open_close_Command_Click();
    form.History_command_Click();
    QVERIFY(form.historyForm()->isVisible());
    form.close();
    QVERIFY(!h.port.isOpen());
    QVERIFY(!form.historyForm() || !form.historyForm()->isVisible());
}

// Frames, option buttons and check boxes are drawn in SimSun, everything else in the
// window's font; the trace frame's caption sits on its border with its controls inside.
void TestForm1::fontsAndTraceFrame()
{
    FormHarness h;
    auto &form = h.load();
    form.show();
    QStringList wrong;
    for (auto *w : form.findChildren<QWidget *>()) {
        if (w->objectName().isEmpty() || !w->parentWidget() || w->parentWidget()->objectName().isEmpty())
            continue;
        const bool simSun = qobject_cast<QGroupBox *>(w) || qobject_cast<QRadioButton *>(w) || qobject_cast<QCheckBox *>(w);
        if ((w->font().families().value(0) == QStringLiteral("SimSun")) != simSun)
            wrong << w->objectName() + " " + w->font().families().value(0);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));

    QStyleOptionGroupBox option;
    option.initFrom(form.Frame4);
    option.text = form.Frame4->title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect border = form.Frame4->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, form.Frame4);
    const QRect caption = form.Frame4->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, form.Frame4);
    QVERIFY2(caption.top() < border.top() && caption.bottom() > border.top(), "the caption is not on the border");
    for (QWidget *control : {static_cast<QWidget *>(form.Hex_Opt), static_cast<QWidget *>(form.Dec_Opt),
                             static_cast<QWidget *>(form.Label19), static_cast<QWidget *>(form.Label20)})
        QVERIFY2(border.contains(control->geometry()), qPrintable(control->objectName() + " not inside the frame"));
}

// Texts the window shows at run time, at their longest, besides the design captions.
void TestForm1::captionsFitTheirControls()
{
    FormHarness h;
    auto &form = h.load();
    form.show();
    const QList<std::pair<QWidget *, QString>> runTime{
        {form.Label6, QStringLiteral("            Fail")},
        {form.Label6, QStringLiteral("      Success")},
        {form.Label6, QStringLiteral("Comm Error")},
        {form.Label4, QStringLiteral("COM50 Opened")},
        {form.Label10, QStringLiteral("115200bps,8,1.5,Space")},
        {form.Label5, QStringLiteral("Current Meter Address : 247")},
        {form.open_close_Command, QStringLiteral("Close Port")},
        {form.Success_Label, QStringLiteral("99999")},
        {form.Err_Label, QStringLiteral("9999")},
    };
    QStringList tooWide;
    const auto check = [&](QWidget *w, const QString &text) {
        // Buttons need room for their bevel; labels only for their text.
        const int room = w->width() - (qobject_cast<QPushButton *>(w) ? 8 : 0);
        const int needed = w->fontMetrics().horizontalAdvance(text);
        if (needed > room)
            tooWide << QStringLiteral("%1 \"%2\" needs %3 px, has %4").arg(w->objectName(), text).arg(needed).arg(room);
    };
    for (auto *label : form.findChildren<QLabel *>())
        if (!label->text().isEmpty() && label != form.Image1)
            check(label, label->text());
    for (auto *button : form.findChildren<QPushButton *>())
        check(button, button->text());
    for (const auto &[w, text] : runTime)
        check(w, text);
    QVERIFY2(tooWide.isEmpty(), qPrintable(tooWide.join("; ")));
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"

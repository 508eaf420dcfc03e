#include "dialogtesting.h"
#include "support/messagelog.h"

#include <QRegularExpression>
#include <QtTest>

using namespace dialogtesting;

// The date and time dialog of "Set Time".
class TestInputTiForm : public QObject {
    Q_OBJECT
private slots:
    void confirm_data();
    void confirm();
    void offersTheLocalClockInTheFormItAccepts();
};

void TestInputTiForm::confirm_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("outcome"); // DialogResult SetDateText SetTimeText, then TimeData or "open"
    const QString month = "The month error, month is in the range of 1~12.";
    QTest::newRow("03/07/2024 15:04:05 as offered") << QStringList{"OK_Command"} << QStringList{}
                                                    << "1 03/07/2024 15:04:05 05 04 15 01 07 03 24 20";
    QTest::newRow("1/1/2024 9:5:7, kept as typed") << QStringList{"Date_Text=1/1/2024", "Time_Text=9:5:7", "OK_Command"}
                                                   << QStringList{} << "1 1/1/2024 9:5:7 07 05 09 01 01 01 24 20";
    QTest::newRow("13/01/2024 24:00:00: the month alone") << QStringList{"Date_Text=13/01/2024", "Time_Text=24:00:00", "OK_Command"}
                                                          << QStringList{month} << "0 01/02/2023 04:05:06 open";
    QTest::newRow("then 12/31/2024 23:59:58") << QStringList{"Date_Text=13/01/2024", "OK_Command", "Date_Text=12/31/2024",
                                                             "Time_Text=23:59:58", "OK_Command"}
                                              << QStringList{month} << "1 12/31/2024 23:59:58 58 59 23 01 31 12 24 20";
}

void TestInputTiForm::confirm()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, shown);
    QFETCH(QString, outcome);
    MessageLog messages;
    engine::OperationState state;
    state.SetDateText = "01/02/2023";
    state.SetTimeText = "04:05:06";
    const auto ti = make("Input_TI_Form");
    QVERIFY(showActive(ti.get()));
    play(ti.get(), steps);
    store(ti.get(), state);
    QCOMPARE(messages.texts(), shown);
    for (const auto &m : messages.entries)
        QCOMPARE(QString::number(m.style) + " " + m.caption, QString("16 ERROR"));
    const QByteArray timeData(reinterpret_cast<const char *>(state.TimeData.data()), 8);
    QCOMPARE(QString::number(state.DialogResult) + " " + QString::fromStdString(state.SetDateText + " " + state.SetTimeText) + " "
                 + (ti->isVisible() ? QString("open") : QString(timeData.toHex(' '))),
             outcome);
}

void TestInputTiForm::offersTheLocalClockInTheFormItAccepts()
{
    const QString today = QDate::currentDate().toString("MM/dd/yyyy");
    dialogs::Input_TI_Form ti;
    const QString date = ti.findChild<QLineEdit *>("Date_Text")->text();
    const QString time = ti.findChild<QLineEdit *>("Time_Text")->text();
    QVERIFY2(date == today || date == QDate::currentDate().toString("MM/dd/yyyy"), qPrintable(date)); // midnight may pass
    QVERIFY2(QRegularExpression("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$").match(time).hasMatch(), qPrintable(time));
}

QTEST_MAIN(TestInputTiForm)
#include "tst_inputtiform.moc"

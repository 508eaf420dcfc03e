#include "serial/linesettings.h"

#include <QtTest>

using serial::LineSettings;
using serial::Parity;
using serial::StopBits;

Q_DECLARE_METATYPE(serial::LineSettings)

class TestLineSettings : public QObject
{
    Q_OBJECT
private slots:
    void wellFormed_data();
    void wellFormed();
    void malformed_data();
    void malformed();
};

void TestLineSettings::wellFormed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<LineSettings>("settings");
    QTest::addColumn<QString>("canonical");
    QTest::newRow("9600,N,8,1") << "9600,N,8,1" << LineSettings{9600, Parity::None, 8, StopBits::One} << "9600,N,8,1";
    QTest::newRow("115200,E,8,1.5") << "115200,E,8,1.5" << LineSettings{115200, Parity::Even, 8, StopBits::OneAndHalf} << "115200,E,8,1.5";
    QTest::newRow("110,O,5,2") << "110,O,5,2" << LineSettings{110, Parity::Odd, 5, StopBits::Two} << "110,O,5,2";
    QTest::newRow("256000,M,7,1") << "256000,M,7,1" << LineSettings{256000, Parity::Mark, 7, StopBits::One} << "256000,M,7,1";
    QTest::newRow("300,S,6,2") << "300,S,6,2" << LineSettings{300, Parity::Space, 6, StopBits::Two} << "300,S,6,2";
    QTest::newRow("lower-case parity 9600,e,8,1") << "9600,e,8,1" << LineSettings{9600, Parity::Even, 8, StopBits::One} << "9600,E,8,1";
}

void TestLineSettings::wellFormed()
{
    QFETCH(QString, text);
    QFETCH(LineSettings, settings);
    QFETCH(QString, canonical);
    const auto parsed = serial::parseLineSettings(text.toStdString());
    QVERIFY(parsed.has_value());
    QVERIFY(*parsed == settings);
    QCOMPARE(QString::fromStdString(serial::settingsText(*parsed)), canonical);
}

void TestLineSettings::malformed_data()
{
    QTest::addColumn<QString>("text");
    for (const char *text : {"", "9600", "9600,N,8", "9600,N,8,1,1", "9600,,8,1", "9600,X,8,1",
                             "9600,NN,8,1", "9600,N,9,1", "9600,N,4,1", "9600,N,08,1", "9600,N,8,3",
                             "9600,N,8,1.0", "9600,N,8,0", " 9600,N,8,1", "9600,N,8,1 ", "0,N,8,1",
                             "-9600,N,8,1", "+9600,N,8,1", "99999999999,N,8,1", "abc,N,8,1",
                             "9600;N;8;1", "9600,N,8,1,"})
        QTest::newRow(*text ? text : "(empty)") << QString::fromLatin1(text);
}

void TestLineSettings::malformed()
{
    QFETCH(QString, text);
    QVERIFY(!serial::parseLineSettings(text.toStdString()).has_value());
}

QTEST_APPLESS_MAIN(TestLineSettings)
#include "tst_linesettings.moc"

#include "engine/linesettings.h"

#include <QtTest>

using engine::LineSettings;
using engine::Parity;
using engine::StopBits;

Q_DECLARE_METATYPE(engine::LineSettings)

// The settings text of the port: "baud,parity,data bits,stop bits".
class TestLineSettings : public QObject
{
    Q_OBJECT
private slots:
    void wellFormed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<LineSettings>("settings");
        QTest::addColumn<QString>("canonical");
        QTest::newRow("9600,N,8,1") << "9600,N,8,1" << LineSettings{9600, Parity::None, 8, StopBits::One} << "9600,N,8,1";
        QTest::newRow("115200,E,8,1.5") << "115200,E,8,1.5" << LineSettings{115200, Parity::Even, 8, StopBits::OneAndHalf} << "115200,E,8,1.5";
        QTest::newRow("110,O,5,2") << "110,O,5,2" << LineSettings{110, Parity::Odd, 5, StopBits::Two} << "110,O,5,2";
        QTest::newRow("256000,M,7,1") << "256000,M,7,1" << LineSettings{256000, Parity::Mark, 7, StopBits::One} << "256000,M,7,1";
        QTest::newRow("lower-case 300,s,6,2") << "300,s,6,2" << LineSettings{300, Parity::Space, 6, StopBits::Two} << "300,S,6,2";
    }

    void wellFormed()
    {
        QFETCH(QString, text);
        QFETCH(LineSettings, settings);
        QFETCH(QString, canonical);
        const auto parsed = engine::parseLineSettings(text.toStdString());
        QVERIFY(parsed == settings);
        QCOMPARE(QString::fromStdString(engine::settingsText(*parsed)), canonical);
    }

    void malformed_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *text : {"", "9600,N,8", "9600,N,8,1,1", "9600,,8,1", "9600,X,8,1", "9600,NN,8,1",
                                 "9600,N,9,1", "9600,N,4,1", "9600,N,08,1", "9600,N,8,3", "9600,N,8,1.0",
                                 " 9600,N,8,1", "0,N,8,1", "+9600,N,8,1", "99999999999,N,8,1", "9600;N;8;1"})
            QTest::newRow(*text ? text : "(empty)") << QString::fromLatin1(text);
    }

    void malformed()
    {
        QFETCH(QString, text);
        QVERIFY(!engine::parseLineSettings(text.toStdString()).has_value());
    }

    // What one character costs on the line, and how a line is written short.
    void characterTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("nanoseconds");
        QTest::addColumn<QString>("shortText");
        QTest::newRow("9600,N,8,1: 10 bits") << "9600,N,8,1" << qint64(1041666) << "9600 8N1";
        QTest::newRow("19200,E,8,1: 11 bits") << "19200,E,8,1" << qint64(572916) << "19200 8E1";
        QTest::newRow("1200,N,8,2: 11 bits") << "1200,N,8,2" << qint64(9166666) << "1200 8N2";
        QTest::newRow("110,O,5,1.5: 8.5 bits") << "110,O,5,1.5" << qint64(77272727) << "110 5O1.5";
    }

    void characterTime()
    {
        QFETCH(QString, text);
        QFETCH(qint64, nanoseconds);
        QFETCH(QString, shortText);
        const auto settings = engine::parseLineSettings(text.toStdString()).value();
        QCOMPARE(qint64(engine::CharacterTime(settings).count()), nanoseconds);
        QCOMPARE(QString::fromStdString(engine::ShortText(settings)), shortText);
    }
};

QTEST_APPLESS_MAIN(TestLineSettings)
#include "tst_linesettings.moc"

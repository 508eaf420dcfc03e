#include "ui/main/form1.h"

#include "serial/serialline.h"
#include "ui/main/circleindicator.h"
#include "ui/messages/showmessage.h"
#include "ui/shared.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using messages::ShowMessage;
using ui::IndicatorGreen;
using ui::IndicatorRed;

namespace {

const QStringList BaudRates{"110", "300", "600", "1200", "2400", "4800", "9600", "14400",
                            "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
const QStringList DataBits{"5", "6", "7", "8"};
const QStringList StopBits{"1", "1.5", "2"};
const QStringList Parities{"None", "Odd", "Even", "Mark", "Space"};
const QStringList Flows{"Hardware", "Software", "None", "Custom"};

void fill(QComboBox *list, const QStringList &items, const QString &chosen)
{
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(items.indexOf(chosen));
}

// The settings text carries the parity as one letter: "None" -> N, "Odd" -> O ...
QString parityLetter(const QString &word)
{
    return word.isEmpty() ? QString() : word.left(1);
}


} // namespace

void Form1::fillLineSettingLists()
{
    fill(Combo1, BaudRates, QStringLiteral("9600"));
    fill(Combo2, DataBits, QStringLiteral("8"));
    fill(Combo3, StopBits, QStringLiteral("1"));
    fill(Combo4, Parities, QStringLiteral("None"));
    fill(Combo5, Flows, QStringLiteral("None"));
    // The defaults, applied as their handlers would, without any message.
    if (const auto settings = engine::parseLineSettings(settingsText().toStdString()))
        m_port.applySettings(*settings);
    m_port.setHandshaking(serial::Handshake::None);
}

void Form1::showPortStatus()
{
    if (Combo6->currentText().isEmpty()) {
        Label4->setText(QStringLiteral("No Serial Port"));
        Label10->setText(QString());
    } else {
        Label4->setText(Combo6->currentText() + QStringLiteral(" Closed"));
        Label10->setText(lineSummary());
    }
}

QString Form1::settingsText() const
{
    return Combo1->currentText() + QLatin1Char(',') + parityLetter(Combo4->currentText()) + QLatin1Char(',')
           + Combo2->currentText() + QLatin1Char(',') + Combo3->currentText();
}

QString Form1::lineSummary() const
{
    return Combo1->currentText() + QStringLiteral("bps,") + Combo2->currentText() + QLatin1Char(',')
           + Combo3->currentText() + QLatin1Char(',') + Combo4->currentText();
}

void Form1::applyLineSettings(bool reportRefusal)
{
    // The lists only offer what the settings text can say, so it always reads back.
    const auto settings = engine::parseLineSettings(settingsText().toStdString());
    if (!settings || m_port.applySettings(*settings) != serial::PortError::None) {
        // The summary keeps showing the settings the port really has.
        if (reportRefusal)
            ShowMessage(QStringLiteral("Does not support the parameters, please re select!"), messages::IconError, {});
        return;
    }
    Label10->setText(lineSummary());
}

// Only a baud rate has a message of its own; the other lists say the same
// thing, since a refused combination is the same trouble for the operator.
void Form1::Combo1_Click() { applyLineSettings(true); }
void Form1::Combo2_Click() { applyLineSettings(true); }
void Form1::Combo3_Click() { applyLineSettings(true); }
void Form1::Combo4_Click() { applyLineSettings(true); }

void Form1::Combo5_Click()
{
    using serial::Handshake;
    static const QHash<QString, Handshake> Handshaking{{"None", Handshake::None},
                                                       {"Software", Handshake::XonXoff},
                                                       {"Hardware", Handshake::RtsCts},
                                                       {"Custom", Handshake::RtsCtsXonXoff}};
    const auto it = Handshaking.constFind(Combo5->currentText());
    if (it != Handshaking.constEnd())
        m_port.setHandshaking(it.value());
}

void Form1::setPortOpenedLook(bool opened)
{
    open_close_Command->setText(opened ? QStringLiteral("Close Port") : QStringLiteral("Open Port"));
    Shape2->setFillColor(opened ? IndicatorGreen : IndicatorRed);
    Label4->setText(Combo6->currentText() + (opened ? QStringLiteral(" Opened") : QStringLiteral(" Closed")));
    Send_command->setEnabled(opened);
}

void Form1::Combo6_Click()
{
    if (Com_Click_B != 1)
        return;
    const QString device = Combo6->currentData().toString();
    if (!m_port.isOpen()) {
        m_port.setPortName(device);
    } else {
        m_port.close();
        m_port.setPortName(device);
        if (m_port.open() != serial::PortError::None) {
            ShowMessage(QStringLiteral("The serial port is already in use!"), messages::IconError, {});
            Send_command->setEnabled(false);
            open_close_Command->setText(QStringLiteral("Open Port"));
            Shape2->setFillColor(IndicatorRed);
        }
    }
    Label4->setText(Combo6->currentText() + (m_port.isOpen() ? QStringLiteral(" Opened") : QStringLiteral(" Closed")));
}

void Form1::open_close_Command_Click()
{
    if (m_port.isOpen()) {
        m_port.close();
        setPortOpenedLook(false);
        return;
    }
    if (m_port.open() == serial::PortError::None) {
        setPortOpenedLook(true);
        return;
    }
    if (Combo6->currentText().isEmpty())
        ShowMessage(QStringLiteral("no available serial port!"), messages::IconError, QStringLiteral("ERROR"));
    else
        ShowMessage(QStringLiteral("The serial port is already in use,Please re-select!"), messages::IconError,
                    QStringLiteral("ERROR"));
}

void Form1::portLost()
{
    // The adapter went away under an open port: the window shows what the
    // port now is. A request still outstanding ends by its time-out.
    setPortOpenedLook(false);
}

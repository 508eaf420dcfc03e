#include "ui/main/form1.h"

#include "catalogue/catalogue.h"
#include "codec/crc16.h"
#include "serial/serialline.h"
#include "ui/dialogs/historyform.h"
#include "ui/main/circleindicator.h"
#include "ui/messages/showmessage.h"
#include "ui/shared.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

using messages::ShowMessage;

namespace {
constexpr int ReplySilenceMs = 50;
constexpr int ReplyTimeoutMs = 1000;
constexpr int PortBufferSize = 512;
} // namespace

void Form1::Form_Load()
{
    messages::SetMessageOwner(this);
    loadLogo();
    Send_command->setEnabled(false);

    Timer1->setInterval(ReplySilenceMs);
    Timer2->setInterval(ReplyTimeoutMs);
    for (auto *timer : {Timer1, Timer2}) {
        timer->setSingleShot(true); // every tick ends its own run
        timer->stop();
    }

    m_replyLine.reset();
    m_state.SuccessCount = 0;
    m_state.FailCount = 0;
    Com_Click_B = 0;

    // Port scan: the ports that can be opened, the current one chosen, none left open.
    const auto scan = m_options.scanPorts ? m_options.scanPorts(m_port) : serial::PortScan{};
    Combo6->clear();
    int widest = 0;
    for (const auto &entry : scan.ports) {
        Combo6->addItem(entry.display, entry.device);
        widest = qMax(widest, Combo6->fontMetrics().horizontalAdvance(entry.display));
    }
    // A gateway's address is longer than the list is wide: the open list
    // shows every name whole, so that two gateways can be told apart.
    Combo6->view()->setMinimumWidth(widest + 2 * Combo6->fontMetrics().averageCharWidth()
                                    + Combo6->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    Combo6->setCurrentIndex(scan.current);
    Com_Click_B = 1;
    if (Combo6->currentIndex() >= 0)
        m_port.setPortName(Combo6->currentData().toString());
    m_port.close();

    Shape2->setFillColor(ui::IndicatorRed);
    addr_Text->setText(QStringLiteral("1"));
    addr_Text_Change(); // the caption follows even when the text was "1" already

    fillLineSettingLists();
    showPortStatus();

    Combo7->clear();
    for (const auto name : catalogue::MeterTypeNames)
        Combo7->addItem(ui::qtext(name));
    Combo7->setCurrentIndex(0);
    Combo7_Click();
    Combo8_Click();

    codec::CrcTable();
    m_port.configureBuffers(PortBufferSize, PortBufferSize);
    runCheckHistorySize();
}

void Form1::loadLogo()
{
    const QFileInfo logo(QDir(m_options.programFolder).filePath(QStringLiteral("KELDRAN.jpg")));
    if (!logo.isFile())
        return;
    QPixmap picture;
    // An unreadable picture simply leaves the box empty.
    if (picture.load(logo.filePath()))
        Image1->setPixmap(picture.scaled(Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void Form1::runCheckHistorySize()
{
    switch (m_history.checkSize()) {
    case history::SizeCheck::Deleted:
        ShowMessage(QStringLiteral("The file of History.log is beyond 2MB,it will be automatically deleted automatically!"),
                    messages::IconWarning, QStringLiteral("Delete File"));
        break;
    case history::SizeCheck::Note:
        ShowMessage(QStringLiteral("The file volume of History.log is beyond 1.5MB,it will be deleted automatically "
                                   "when it's more than 2MB.Please save it in time."),
                    messages::IconWarning, QStringLiteral("NOTE"));
        break;
    // A log that should have gone but could not be deleted ends the start-up
    // check silently, as any failure of the check does.
    case history::SizeCheck::Undeletable:
    case history::SizeCheck::Missing:
    case history::SizeCheck::Fine:
        break;
    }
}

void Form1::History_command_Click()
{
    if (!m_historyForm)
        m_historyForm = new History_Form(m_history);
    m_historyForm->show();
    m_historyForm->raise();
    m_historyForm->activateWindow();
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (m_port.isOpen())
        m_port.close();
    Timer1->stop();
    Timer2->stop();
    // Every other window goes with the main window, without asking.
    if (m_historyForm)
        m_historyForm->close();
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible())
            window->close();
    event->accept();
    QCoreApplication::quit();
}

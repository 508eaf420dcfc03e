#include "ui/main/form1.h"

#include "catalogue/catalogue.h"
#include "codec/trace.h"
#include "engine/numbertext.h"
#include "engine/dialoganswer.h"
#include "engine/parameters.h"
#include "engine/requestframe.h"
#include "engine/resulttexts.h"
#include "serial/serialline.h"
#include "ui/dialogs/historyform.h"
#include "ui/dialogs/parameterdialogs.h"
#include "ui/main/circleindicator.h"
#include "ui/messages/showmessage.h"
#include "ui/shared.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

using messages::ShowMessage;
using ui::IndicatorGreen;
using ui::IndicatorRed;
using ui::qtext;
namespace command = catalogue::command;

namespace {

const QString SuccessStatus = QStringLiteral("      Success");
const QString FailStatus = QStringLiteral("            Fail");

} // namespace

bool Form1::askParameter(const QString &meter, const QString &commandText, int &parameterCode)
{
    const std::string meterName = meter.toStdString();
    const std::string commandName = commandText.toStdString();
    const bool checkedValue = catalogue::CheckedValueCount(commandName) > 0;
    for (;;) {
        m_state.DialogResult = engine::DialogNone;
        engine::StoreDialogAnswer(m_state, m_dialogs->ask(commandName, meterName));
        if (m_state.DialogResult != engine::DialogConfirmed)
            return false; // cancelled or closed: nothing is sent
        if (!checkedValue)
            return true; // the date/time and tariff dialogs check their own input
        const auto verdict = engine::AcceptParameter(m_state, meterName, commandName, m_state.FrameKind,
                                                     m_state.DialogValue1, m_state.DialogValue2);
        if (verdict.accepted) {
            parameterCode = verdict.code;
            return true;
        }
        ShowMessage(qtext(verdict.message), messages::IconError, qtext(verdict.caption));
    }
}

void Form1::appendTrace(const std::string &text)
{
    // The trace is blue as a whole; lines end in CR LF on the wire of the trace.
    QString line = qtext(text);
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QPalette palette = Rev_Show_Text->palette();
    palette.setColor(QPalette::Text, QColor(0, 0, 255));
    Rev_Show_Text->setPalette(palette);
    Rev_Show_Text->moveCursor(QTextCursor::End);
    Rev_Show_Text->insertPlainText(line);
    Rev_Show_Text->moveCursor(QTextCursor::End);
    Rev_Show_Text->ensureCursorVisible();
}

void Form1::Send_command_Click()
{
    const QString meter = Combo7->currentText();
    const QString commandText = Combo8->currentText();

    // The address box holds digits 0..247 only; read it as the meter address byte.
    const double address = engine::RoundHalfEven(engine::LeadingNumber(addr_Text->text().toStdString()));
    m_state.RequestAddress = static_cast<std::uint8_t>(qBound(0.0, address, 255.0));

    int parameterCode = 0;
    if (m_state.FrameKind != catalogue::FrameKindRead && !askParameter(meter, commandText, parameterCode))
        return;

    const auto frame = engine::BuildRequestFrame(m_state.FrameKind, commandText.toStdString(), m_state.RequestCode,
                                                 m_state.RequestAddress, parameterCode, m_state.TimeData,
                                                 m_state.TariffData);
    if (frame.empty())
        return;

    if (Check2->isChecked())
        Rev_Show_Text->clear();
    const QByteArray bytes(reinterpret_cast<const char *>(frame.data()), static_cast<qsizetype>(frame.size()));
    // The trace shows what goes on the wire: through a Modbus TCP gateway
    // that is the ADU, not the RTU frame.
    appendWireTrace(m_port.wireForm(bytes, serial::Direction::Sent), codec::TraceSend);

    // Whatever the line said before this request is not its reply.
    m_port.discardInput();
    if (m_port.write(bytes) != serial::PortError::None) {
        ShowMessage(QStringLiteral("The serial port is invalid, please check the serial port!"), messages::IconWarning,
                    QStringLiteral("SEND ERROR"));
        return;
    }

    m_replyLine.requestSent({meter.toStdString(), commandText.toStdString(), m_state.ReplyCode, m_state.RequestAddress});
    Timer1->stop();
    Timer2->start();
    Send_command->setEnabled(false);
    History_command->setFocus();
}

void Form1::ReceiveEvent()
{
    const QByteArray chunk = m_port.readAll();
    if (chunk.isEmpty())
        return;
    const auto *first = reinterpret_cast<const std::uint8_t *>(chunk.constData());
    switch (m_replyLine.received({first, static_cast<std::size_t>(chunk.size())})) {
    case engine::ReplyLine::Chunk::Stored:
        Timer1->start(); // 50 ms of silence from now ends the reply
        break;
    case engine::ReplyLine::Chunk::Overflow:
        Timer1->stop();
        reportCommunicationError();
        break;
    case engine::ReplyLine::Chunk::Discarded:
        break;
    }
}

void Form1::reportCommunicationError()
{
    Shape1->setFillColor(IndicatorRed);
    Label6->setText(QStringLiteral("Comm Error"));
    ShowMessage(QStringLiteral("Communication error, please check and conifrm the serial port communication is expedite!"),
                messages::IconError, {});
}

void Form1::appendWireTrace(const QByteArray &wire, std::uint8_t direction)
{
    const std::span bytes(reinterpret_cast<const std::uint8_t *>(wire.constData()), static_cast<std::size_t>(wire.size()));
    const int count = static_cast<int>(bytes.size());
    appendTrace(Hex_Opt->isChecked() ? codec::AppendTraceHex(bytes, count, direction)
                                     : codec::AppendTraceDecimal(bytes, count, direction));
}

void Form1::ReplyTimerTick()
{
    Timer1->stop();
    Timer2->stop();
    const auto judged = m_replyLine.silence();
    if (judged.verdict == engine::ReplyLine::Verdict::Stray)
        return;
    // Judged as the line handed it over; traced as it came over the wire.
    const QByteArray reply(reinterpret_cast<const char *>(judged.reply.data()), static_cast<qsizetype>(judged.reply.size()));
    appendWireTrace(m_port.wireForm(reply, serial::Direction::Received), codec::TraceReceive);
    if (judged.verdict == engine::ReplyLine::Verdict::Accepted)
        reportAccepted(judged.reply);
    else
        reportRejected();
}

void Form1::reportAccepted(std::span<const std::uint8_t> reply)
{
    const auto &operation = m_replyLine.operation();
    Label6->setText(SuccessStatus);
    Shape1->setFillColor(IndicatorGreen);
    ++m_state.SuccessCount;
    Success_Label->setText(QString::number(m_state.SuccessCount));

    const auto report = engine::ResultTexts(m_state, reply, operation.meterType, operation.command);
    ShowMessage(qtext(report.message), messages::IconInformation, QStringLiteral("Success"));
    // Written once the operator has closed the box, with the time of that moment.
    AppendHistoryEntry(history::SuccessOutcome + qtext(report.detail));
    enableConfirm(true);
}

void Form1::reportRejected()
{
    Label6->setText(FailStatus);
    Shape1->setFillColor(IndicatorRed);
    AppendHistoryEntry(history::DataErrorOutcome);
    ++m_state.FailCount;
    Err_Label->setText(QString::number(m_state.FailCount));
    ShowMessage(QStringLiteral("Fail! The response data error, please re-operation!"), messages::IconError,
                QStringLiteral("Fail"));
    enableConfirm(true);
}

void Form1::TimeoutTick()
{
    Timer2->stop();
    Send_command->setEnabled(true);
    m_replyLine.timedOut();
    Label6->setText(FailStatus);
    Shape1->setFillColor(IndicatorRed);
    AppendHistoryEntry(history::TimeoutOutcome);
    appendTrace(std::string(codec::NoDataTraceLine));
    ++m_state.FailCount;
    Err_Label->setText(QString::number(m_state.FailCount));
    ShowMessage(QStringLiteral("Fail! Response timeout, please re-operation!"), messages::IconError,
                QStringLiteral("Fail"));
    // "Confirm" came back before the box; nothing during the box takes it again.
    // What is still waiting in the port belongs to no request any more.
    m_port.discardInput();
}

void Form1::enableConfirm(bool giveFocus)
{
    Send_command->setEnabled(true);
    if (giveFocus)
        Send_command->setFocus();
}

void Form1::AppendHistoryEntry(const QString &outcome)
{
    const auto &operation = m_replyLine.operation();
    const auto result = m_history.append(m_options.clock(), qtext(operation.meterType), qtext(operation.command), outcome);
    if (!result.written) {
        ShowMessage(QStringLiteral("History.log cannot be written (") + result.error
                        + QStringLiteral("); this operation is not in the history."),
                    messages::IconError, QStringLiteral("ERROR"));
        return;
    }
    if (m_history.relocated() && !m_toldHistoryPlace) {
        m_toldHistoryPlace = true;
        ShowMessage(QStringLiteral("The program folder cannot be written, so History.log is kept in ")
                        + m_history.path() + QStringLiteral(" ."),
                    messages::IconInformation, QStringLiteral("NOTE"));
    }
    if (m_historyForm && m_historyForm->isVisible())
        m_historyForm->refresh();
}

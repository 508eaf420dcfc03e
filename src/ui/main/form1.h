#pragma once

#include "engine/replyline.h"
#include "engine/state.h"
#include "history/historylog.h"
#include "serial/portdiscovery.h"
#include "ui/dialogs/historyform.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <span>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class CircleIndicator;

namespace serial {
class SerialLine;
}
namespace dialogs {
class ParameterDialogs;
}

// What the main window is given from outside: how ports are found, where its
// files live, the clock of the log lines and who asks for parameters.
struct Form1Options {
    std::function<serial::PortScan(serial::SerialLine &)> scanPorts;
    QString programFolder;  // KELDRAN.jpg and History.log
    QString fallbackFolder; // History.log when the program folder cannot be written
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    dialogs::ParameterDialogs *parameterDialogs = nullptr; // nullptr: the real modal dialogs
};

// The main window: port and line settings, meter type, command and address,
// "Confirm", the trace, the counters and the status strip.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    Form1(serial::SerialLine &port, Form1Options options, QWidget *parent = nullptr);
    ~Form1() override;

    // The start-up sequence; run once before the window is shown.
    void Form_Load();

    // Handlers, named after their control and event.
    void Combo1_Click();
    void Combo2_Click();
    void Combo3_Click();
    void Combo4_Click();
    void Combo5_Click();
    void Combo6_Click();
    void Combo7_Click();
    void Combo8_Click();
    void open_close_Command_Click();
    void History_command_Click();
    void addr_Text_Change();
    void Send_command_Click();
    void ReceiveEvent();
    void ReplyTimerTick();
    void TimeoutTick();

    void Find_Code(const QString &meter_s, const QString &code_s);

    engine::OperationState &state() { return m_state; }
    const engine::ReplyLine &replyLine() const { return m_replyLine; }
    const history::HistoryLog &historyLog() const { return m_history; }
    History_Form *historyForm() const { return m_historyForm; }

    // Controls, by their names in the window.
    QGroupBox *Frame1 = nullptr, *Frame2 = nullptr, *Frame3 = nullptr, *Frame4 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr,
           *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr, *Label9 = nullptr, *Label10 = nullptr,
           *Label13 = nullptr, *Label14 = nullptr, *Label15 = nullptr, *Label16 = nullptr, *Label17 = nullptr,
           *Label18 = nullptr, *Label19 = nullptr, *Label20 = nullptr;
    QLabel *Success_Label = nullptr, *Err_Label = nullptr, *Image1 = nullptr;
    QComboBox *Combo1 = nullptr, *Combo2 = nullptr, *Combo3 = nullptr, *Combo4 = nullptr, *Combo5 = nullptr,
              *Combo6 = nullptr, *Combo7 = nullptr, *Combo8 = nullptr;
    QPushButton *open_close_Command = nullptr, *Send_command = nullptr, *History_command = nullptr;
    QLineEdit *addr_Text = nullptr;
    QPlainTextEdit *Rev_Show_Text = nullptr;
    QRadioButton *Hex_Opt = nullptr, *Dec_Opt = nullptr;
    QCheckBox *Check2 = nullptr;
    CircleIndicator *Shape1 = nullptr, *Shape2 = nullptr;
    QTimer *Timer1 = nullptr, *Timer2 = nullptr;

    // 0 while the start-up port scan runs, 1 afterwards.
    quint8 Com_Click_B = 0;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void connectHandlers();
    void loadLogo();
    void fillLineSettingLists();
    void showPortStatus();
    void applyLineSettings(bool reportRefusal);
    QString settingsText() const;
    QString lineSummary() const;
    void setPortOpenedLook(bool opened);
    void portLost();
    void runCheckHistorySize();

    bool askParameter(const QString &meter, const QString &command, int &parameterCode);
    void appendTrace(const std::string &text);
    // A SEND or REV line of the bytes as the line really carried them.
    void appendWireTrace(const QByteArray &wire, std::uint8_t direction);
    void reportAccepted(std::span<const std::uint8_t> reply);
    void reportRejected();
    void reportCommunicationError();
    void AppendHistoryEntry(const QString &outcome);
    void enableConfirm(bool giveFocus);

    serial::SerialLine &m_port;
    Form1Options m_options;
    engine::OperationState m_state;
    engine::ReplyLine m_replyLine;
    history::HistoryLog m_history;
    std::unique_ptr<dialogs::ParameterDialogs> m_ownDialogs;
    dialogs::ParameterDialogs *m_dialogs = nullptr;
    QPointer<History_Form> m_historyForm;
    bool m_repairingAddress = false;
    bool m_toldHistoryPlace = false;
};

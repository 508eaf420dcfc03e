#pragma once

#include "messagelog.h"
#include "scripteddialogs.h"

#include "serial/anyline.h"
#include "serial/portdiscovery.h"
#include "ui/main/form1.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The main window on the port object the program gives it, with its one port
// given at launch: a serial device or a gateway address.
struct Tool {
    using Answer = ScriptedDialogs::Answer;

    explicit Tool(const QString &device, bool openPort = true)
    {
        Form1Options options;
        options.scanPorts = [device](serial::SerialLine &line) { return serial::scanPorts(line, {device}); };
        options.programFolder = folder.path();
        options.parameterDialogs = &dialogs;
        form = std::make_unique<Form1>(port, options);
        form->Form_Load();
        if (openPort)
            form->open_close_Command_Click();
    }

    void choose(const QString &meter, const QString &command, int address = 1)
    {
        form->Combo7->setCurrentText(meter);
        emit form->Combo7->activated(form->Combo7->currentIndex());
        form->Combo8->setCurrentText(command);
        emit form->Combo8->activated(form->Combo8->currentIndex());
        form->addr_Text->setText(QString::number(address));
    }

    // Presses "Confirm" and waits, on the window's own timers, for the report.
    bool confirm(QList<Answer> answers = {})
    {
        dialogs.answers = std::move(answers);
        const auto before = messages.entries.size();
        form->Send_command_Click();
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && messages.entries.size() == before)
            QTest::qWait(5);
        // Reported: a box was shown; "Confirm" comes back once it is closed.
        return messages.entries.size() > before && form->Send_command->isEnabled();
    }

    QString lastCaption() const { return messages.entries.isEmpty() ? QString() : messages.entries.back().caption; }
    QString lastText() const { return messages.entries.isEmpty() ? QString() : messages.entries.back().text; }

    QByteArray log() const
    {
        QFile file(folder.filePath(QStringLiteral("History.log")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir folder;
    serial::AnyLine port;
    MessageLog messages;
    ScriptedDialogs dialogs;
    std::unique_ptr<Form1> form;
};

#pragma once

#include "fakeserialline.h"
#include "messagelog.h"
#include "serial/portdiscovery.h"
#include "ui/main/form1.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <memory>

// A main window on a fake port, with its files in a fresh folder, messages
// recorded and a fixed clock for the History.log lines.
struct FormHarness {
    explicit FormHarness(const QStringList &openablePorts = {"COM1", "COM3", "COM12"},
                         dialogs::ParameterDialogs *dialogs = nullptr, bool programFolderWritable = true)
    {
        port.setOpenablePorts(openablePorts);
        Form1Options options;
        // The system lists every number; the fake port decides which open.
        options.scanPorts = [](serial::SerialLine &line) {
            QStringList present;
            for (int n = 1; n <= 50; ++n)
                present << QStringLiteral("COM%1").arg(n);
            return serial::scanWindowsPorts(line, present);
        };
        // A folder that does not exist stands for one that cannot be written.
        options.programFolder = programFolderWritable ? folder.path() : folder.filePath(QStringLiteral("read-only/app"));
        options.fallbackFolder = folder.filePath(QStringLiteral("fallback"));
        options.clock = [this] { return now; };
        options.parameterDialogs = dialogs;
        form = std::make_unique<Form1>(port, options);
    }

    Form1 &load()
    {
        form->Form_Load();
        return *form;
    }

    QString logPath() const { return folder.filePath(QStringLiteral("History.log")); }

    QTemporaryDir folder;
    FakeSerialLine port;
    MessageLog messages;
    QDateTime now{QDate(2024, 3, 3), QTime(14, 5, 9)};
    std::unique_ptr<Form1> form;
};

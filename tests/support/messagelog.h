#pragma once

#include "ui/messages/showmessage.h"

#include <QList>
#include <QString>
#include <functional>

// Stands in for the message box in tests: records every message and answers
// at once, so nothing blocks on a modal box.
class MessageLog final : public messages::MessagePresenter
{
public:
    struct Entry {
        QString text;
        int style = 0;
        QString caption;
    };

    MessageLog() { messages::SetMessagePresenter(this); }
    ~MessageLog() override { messages::SetMessagePresenter(nullptr); }

    int present(QWidget *, const QString &text, int style, const QString &caption) override
    {
        entries.append({text, style, caption});
        if (whileShown)
            whileShown(entries.back());
        return messages::IdOk;
    }

    QStringList texts() const
    {
        QStringList all;
        for (const auto &e : entries)
            all << e.text;
        return all;
    }

    QList<Entry> entries;
    // Runs while a box would be open: the event loop of a real box would
    // dispatch timers and port events at that moment.
    std::function<void(const Entry &)> whileShown;
};

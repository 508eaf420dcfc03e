#pragma once

#include "ui/messages/showmessage.h"

#include <QList>
#include <QStringList>

// Takes the place of the message box while it lives: records each message
// and answers "OK" at once, so no test blocks on a modal box.
class RecordingPresenter final : public messages::MessagePresenter
{
public:
    struct Message {
        QString text;
        int style = 0;
        QString caption;
    };

    RecordingPresenter() { messages::SetMessagePresenter(this); }
    ~RecordingPresenter() override { messages::SetMessagePresenter(nullptr); }
    RecordingPresenter(const RecordingPresenter &) = delete;
    RecordingPresenter &operator=(const RecordingPresenter &) = delete;

    int present(QWidget *, const QString &text, int style, const QString &caption) override
    {
        shown.append({text, style, caption});
        return messages::IdOk;
    }

    QStringList texts() const
    {
        QStringList all;
        for (const auto &m : shown)
            all << m.text;
        return all;
    }

    // True when every message so far had this style and caption.
    bool allAre(int style, const QString &caption) const
    {
        for (const auto &m : shown)
            if (m.style != style || m.caption != caption)
                return false;
        return true;
    }

    QList<Message> shown;
};

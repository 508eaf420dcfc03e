#pragma once

#include "engine/dialoganswer.h"
#include "ui/dialogs/parameterdialogs.h"

#include <QList>
#include <QStringList>

// Answers the parameter dialogs from a script, one answer per showing, as the
// real dialogs hand theirs back.
class ScriptedDialogs final : public dialogs::ParameterDialogs
{
public:
    using Answer = engine::DialogAnswer;

    static Answer confirm(QString value1, QString value2 = {})
    {
        return engine::ConfirmedValues(value1.toStdString(), value2.toStdString());
    }
    static Answer cancel() { return engine::Cancelled(); }
    static Answer closeByTitleBar() { return {}; }

    engine::DialogAnswer ask(std::string_view command, std::string_view) override
    {
        asked << QString::fromUtf8(command.data(), static_cast<int>(command.size()));
        return answers.isEmpty() ? Answer{} : answers.takeFirst();
    }

    QList<Answer> answers;
    QStringList asked;
};

#pragma once

#include "engine/state.h"
#include "ui/dialogs/parameterdialogs.h"

#include <QList>
#include <QStringList>
#include <functional>

// Answers the parameter dialogs from a script, one answer per showing, the
// way the real dialogs leave their outputs in the shared state.
class ScriptedDialogs final : public dialogs::ParameterDialogs
{
public:
    using Answer = std::function<void(engine::OperationState &)>;

    static Answer confirm(QString value1, QString value2 = {})
    {
        return [=](engine::OperationState &s) {
            s.DialogValue1 = value1.toStdString();
            s.DialogValue2 = value2.toStdString();
            s.DialogResult = engine::DialogConfirmed;
        };
    }
    static Answer cancel()
    {
        return [](engine::OperationState &s) { s.DialogResult = engine::DialogCancelled; };
    }
    static Answer closeByTitleBar()
    {
        return [](engine::OperationState &) {};
    }

    void ask(std::string_view command, std::string_view) override
    {
        asked << QString::fromUtf8(command.data(), static_cast<int>(command.size()));
        if (!answers.isEmpty())
            answers.takeFirst()(*state);
    }

    engine::OperationState *state = nullptr; // the window's, set once it exists
    QList<Answer> answers;
    QStringList asked;
};

#include "ui/dialogs/inputtaform.h"

#include "catalogue/catalogue.h"
#include "ui/messages/showmessage.h"
#include "ui/shared.h"
#include "ui/twips.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace dialogs {

namespace {

// Two columns of five rows: label, tariff box, time box.
constexpr int ColumnLeft[2] = {240, 3840};
constexpr int LabelWidth = 1020;
constexpr int TariffOffset = 1080;
constexpr int TariffWidth = 1140;
constexpr int TimeOffset = 2340;
constexpr int TimeWidth = 1140;
constexpr int HeadingTop = 180;
constexpr int FirstRowTop = 540;
constexpr int RowPitch = 480;
constexpr int RowHeight = 345;

// Whether the focus is still inside box, for instance in its drop-down list
// (a window of its own, so not an ordinary descendant).
bool holdsFocus(QObject *box)
{
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (w == box)
            return true;
    return false;
}

void showError(const std::string &message)
{
    messages::ShowMessage(ui::qtext(message), messages::IconError, QStringLiteral("ERROR"));
}

} // namespace

Input_TA_Form::Input_TA_Form(const QString &meterType, QWidget *parent)
    : InputDialog(QStringLiteral("Input_TA_Form"), 7560, 3720, parent)
{
    QStringList choices;
    for (const auto choice : catalogue::TariffChoices(meterType.toStdString()))
        choices << ui::qtext(choice);

    int labelNumber = 1;
    for (int column = 0; column < 2; ++column) {
        const int left = ColumnLeft[column];
        makeLabel(QStringLiteral("Label%1").arg(11 + 2 * column), QStringLiteral("Tariff"), left + TariffOffset, HeadingTop,
                  TariffWidth, 285);
        makeLabel(QStringLiteral("Label%1").arg(12 + 2 * column), QStringLiteral("Time"), left + TimeOffset, HeadingTop,
                  TimeWidth, 285);
        for (int row = 0; row < 5; ++row) {
            const int slot = column * 5 + row;
            const int top = FirstRowTop + row * RowPitch;
            makeLabel(QStringLiteral("Label%1").arg(labelNumber), QStringLiteral("Time%1 : ").arg(labelNumber), left,
                      top + 30, LabelWidth, 285);
            ++labelNumber;

            auto *combo = ui::place<QComboBox>(this, QStringLiteral("Tariff_Combo%1").arg(slot), left + TariffOffset, top,
                                               TariffWidth, RowHeight);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert); // typing picks nothing and adds nothing
            // No completion either: "t2" stays "t2", and the tariff rule refuses it.
            combo->setCompleter(nullptr);
            combo->addItems(choices);
            combo->setCurrentIndex(0);
            combo->setEditText(QStringLiteral("NC"));
            combo->installEventFilter(this);
            Tariff_Combo[static_cast<std::size_t>(slot)] = combo;

            auto *edit = makeTextBox(QStringLiteral("Tariff_Text%1").arg(slot), QStringLiteral("00:00"), left + TimeOffset,
                                     top, TimeWidth, RowHeight);
            edit->installEventFilter(this);
            Tariff_Text[static_cast<std::size_t>(slot)] = edit;
        }
    }
    const int belowRows = FirstRowTop + 5 * RowPitch + 120;
    Label3 = makeNote(QStringLiteral("Label15"), QStringLiteral("Note : Time format is HH:MM"), ColumnLeft[0], belowRows + 75,
                      3480, 285);
    // The buttons end where the time boxes end.
    const int rightEdge = ColumnLeft[1] + TimeOffset + TimeWidth;
    No_Command = makeButton(QStringLiteral("No_Command"), QStringLiteral("Cancel"), rightEdge - 1335, belowRows, 1335, 435);
    OK_Command = makeButton(QStringLiteral("OK_Command"), QStringLiteral("Confirm"), rightEdge - 2 * 1335 - 240, belowRows,
                            1335, 435);

    connect(OK_Command, &QPushButton::clicked, this, &Input_TA_Form::OK_Command_Click);
    connect(No_Command, &QPushButton::clicked, this, &Input_TA_Form::cancel);

    // Tariffs 0-4, times 0-4, tariff 5, time 5, tariffs 6-9, times 6-9, then the buttons.
    QList<QWidget *> order;
    for (int i = 0; i <= 4; ++i)
        order << Tariff_Combo[static_cast<std::size_t>(i)];
    for (int i = 0; i <= 4; ++i)
        order << Tariff_Text[static_cast<std::size_t>(i)];
    order << Tariff_Combo[5] << Tariff_Text[5];
    for (int i = 6; i <= 9; ++i)
        order << Tariff_Combo[static_cast<std::size_t>(i)];
    for (int i = 6; i <= 9; ++i)
        order << Tariff_Text[static_cast<std::size_t>(i)];
    order << OK_Command << No_Command;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    Tariff_Combo[0]->setFocus();
}

bool Input_TA_Form::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        // A box is left when the focus moves elsewhere in the dialog, not when
        // its own list drops down or another window comes to the front.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && isVisible()
            && !holdsFocus(watched)) {
            // Already the new focus widget: Qt sends the focus-out after the change.
            QPointer<QWidget> takingFocus = QApplication::focusWidget();
            bool shown = false;
            for (int i = 0; i < engine::TariffSlots; ++i) {
                if (watched == Tariff_Combo[static_cast<std::size_t>(i)])
                    shown = Tariff_Combo_LostFocus(i);
                else if (watched == Tariff_Text[static_cast<std::size_t>(i)])
                    shown = Tariff_Text_LostFocus(i);
            }
            if (shown)
                focusCheckShowedMessage(reason, takingFocus);
        }
    }
    return InputDialog::eventFilter(watched, event);
}

engine::TariffTexts Input_TA_Form::tariffTexts() const
{
    engine::TariffTexts texts;
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = Tariff_Combo[i]->currentText().toStdString();
    return texts;
}

bool Input_TA_Form::Tariff_Combo_LostFocus(int index)
{
    const auto label = engine::CheckTariffSlot(tariffTexts(), index);
    m_tariffErrorFlags[static_cast<std::size_t>(index)] = label ? 1 : 0;
    if (label)
        showError(engine::SlotMessage(*label));
    return label.has_value();
}

bool Input_TA_Form::Tariff_Text_LostFocus(int index)
{
    QLineEdit *box = Tariff_Text[static_cast<std::size_t>(index)];
    auto &flag = m_timeErrorFlags[static_cast<std::size_t>(index)];
    const auto check = engine::CheckTariffTime(box->text().toStdString(), flag != 0);
    const QString repaired = ui::qtext(check.text);
    if (repaired != box->text())
        box->setText(repaired);
    flag = check.flag ? 1 : 0;
    for (const auto &message : check.messages)
        showError(message);
    return !check.messages.empty();
}

void Input_TA_Form::OK_Command_Click()
{
    engine::TariffTexts times;
    for (std::size_t i = 0; i < times.size(); ++i)
        times[i] = Tariff_Text[i]->text().toStdString();
    const auto result =
        engine::ConfirmTariffSchedule(tariffTexts(), times, m_timeErrorFlags, m_tariffErrorFlags);
    if (!result.accepted) {
        showError(result.message);
        return;
    }
    m_answer = engine::ConfirmedTariff(result);
    confirm();
}

} // namespace dialogs

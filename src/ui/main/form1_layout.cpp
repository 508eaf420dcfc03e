#include "ui/main/form1.h"

#include "version.h"

#include "ui/dialogs/historyform.h"
#include "ui/dialogs/parameterdialogs.h"
#include "ui/main/circleindicator.h"
#include "ui/shared.h"
#include "ui/twips.h"
#include "serial/serialline.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

using ui::place;

namespace {

// Client area of the window, in twips.
constexpr int FormWidth = 10725;
constexpr int FormHeight = 3915;

QFont windowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Segoe UI Symbol"), QStringLiteral("Segoe UI"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(9);
    return font;
}

// Frames, option buttons and check boxes were drawn in SimSun.
QFont groupFont()
{
    QFont font = windowFont();
    QStringList families{QStringLiteral("SimSun"), QString::fromUtf8("宋体")};
    families += font.families();
    font.setFamilies(families);
    return font;
}

QLabel *label(QWidget *parent, const QString &name, const QString &caption, int left, int top, int width, int height)
{
    auto *l = place<QLabel>(parent, name, left, top, width, height);
    l->setText(caption);
    return l;
}

QGroupBox *frame(QWidget *parent, const QString &name, const QString &caption, int left, int top, int width, int height)
{
    auto *f = place<QGroupBox>(parent, name, left, top, width, height);
    f->setTitle(caption);
    f->setFont(groupFont());
    return f;
}

QComboBox *pickList(QWidget *parent, const QString &name, int left, int top, int width, int height)
{
    auto *c = place<QComboBox>(parent, name, left, top, width, height);
    c->setEditable(false); // pick only: the text is always one of the entries
    return c;
}

} // namespace

Form1::Form1(serial::SerialLine &port, Form1Options options, QWidget *parent)
    : QWidget(parent)
    , m_port(port)
    , m_options(std::move(options))
    , m_history(m_options.programFolder, m_options.fallbackFolder)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorvane V") + QLatin1String(QuorvaneVersion));
    setFont(windowFont());
    setFixedSize(ui::px(FormWidth), ui::px(FormHeight));

    if (m_options.parameterDialogs) {
        m_dialogs = m_options.parameterDialogs;
    } else {
        m_ownDialogs = std::make_unique<dialogs::ModalParameterDialogs>(this);
        m_dialogs = m_ownDialogs.get();
    }
    buildControls();
    connectHandlers();
}

Form1::~Form1()
{
    delete m_historyForm;
}

void Form1::buildControls()
{
    Frame2 = frame(this, QStringLiteral("Frame2"), {}, 120, 840, 2205, 545);
    Label14 = label(Frame2, QStringLiteral("Label14"), QStringLiteral("Comm Port"), 80, 210, 975, 255);
    Combo6 = pickList(Frame2, QStringLiteral("Combo6"), 1080, 160, 1095, 345);

    Frame3 = frame(this, QStringLiteral("Frame3"), {}, 120, 1400, 2205, 1995);
    Label7 = label(Frame3, QStringLiteral("Label7"), QStringLiteral("Baud Rate"), 80, 240, 855, 255);
    Combo1 = pickList(Frame3, QStringLiteral("Combo1"), 1080, 180, 1095, 345);
    Label15 = label(Frame3, QStringLiteral("Label15"), QStringLiteral("Data Bits"), 80, 585, 855, 255);
    Combo2 = pickList(Frame3, QStringLiteral("Combo2"), 1080, 540, 1095, 345);
    Label16 = label(Frame3, QStringLiteral("Label16"), QStringLiteral("Stop Bits"), 80, 960, 855, 255);
    Combo3 = pickList(Frame3, QStringLiteral("Combo3"), 1080, 900, 1095, 345);
    Label17 = label(Frame3, QStringLiteral("Label17"), QStringLiteral("Parity"), 80, 1300, 615, 255);
    Combo4 = pickList(Frame3, QStringLiteral("Combo4"), 1080, 1260, 1095, 345);
    Label18 = label(Frame3, QStringLiteral("Label18"), QStringLiteral("Flow"), 80, 1665, 1095, 255);
    Combo5 = pickList(Frame3, QStringLiteral("Combo5"), 1080, 1600, 1095, 345);

    open_close_Command = place<QPushButton>(this, QStringLiteral("open_close_Command"), 120, 260, 1140, 360);
    open_close_Command->setText(QStringLiteral("Open Port"));
    Shape2 = place<CircleIndicator>(this, QStringLiteral("Shape2"), 1440, 240, 615, 375);
    Shape2->setFillColor(ui::IndicatorRed);

    Label1 = label(this, QStringLiteral("Label1"), QStringLiteral("Meter Type :"), 2880, 300, 1095, 225);
    Combo7 = pickList(this, QStringLiteral("Combo7"), 3960, 240, 2175, 345);
    Label2 = label(this, QStringLiteral("Label2"), QStringLiteral("Command :"), 2920, 915, 975, 255);
    Combo8 = pickList(this, QStringLiteral("Combo8"), 3960, 840, 2175, 345);
    Label3 = label(this, QStringLiteral("Label3"), QStringLiteral("Current Address :"), 2500, 1560, 1695, 255);
    addr_Text = place<QLineEdit>(this, QStringLiteral("addr_Text"), 3960, 1500, 2175, 330);
    addr_Text->setText(QStringLiteral("1"));

    Send_command = place<QPushButton>(this, QStringLiteral("Send_command"), 3400, 2160, 975, 375);
    Send_command->setText(QStringLiteral("Confirm"));
    History_command = place<QPushButton>(this, QStringLiteral("History_command"), 4200, 2880, 975, 375);
    History_command->setText(QStringLiteral("History"));

    Rev_Show_Text = place<QPlainTextEdit>(this, QStringLiteral("Rev_Show_Text"), 6360, 240, 4335, 2055);
    Rev_Show_Text->setReadOnly(true);
    Rev_Show_Text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Rev_Show_Text->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    Frame4 = frame(this, QStringLiteral("Frame4"), QStringLiteral("Term Show"), 6480, 2280, 1695, 495);
    // The caption sits on the frame's top border, as the layout was drawn, so
    // the box starts at the border line and the controls placed in it are inside.
    Frame4->setStyleSheet(QStringLiteral(
        "QGroupBox#Frame4 { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
        "QGroupBox#Frame4::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px;"
        " padding: 0px 2px; }"));
    Hex_Opt = place<QRadioButton>(Frame4, QStringLiteral("Hex_Opt"), 120, 220, 255, 180);
    Hex_Opt->setChecked(true);
    Label19 = label(Frame4, QStringLiteral("Label19"), QStringLiteral("Hex"), 400, 180, 495, 225);
    Dec_Opt = place<QRadioButton>(Frame4, QStringLiteral("Dec_Opt"), 900, 220, 255, 180);
    Label20 = label(Frame4, QStringLiteral("Label20"), QStringLiteral("Dec"), 1200, 180, 375, 225);
    for (auto *option : {Hex_Opt, Dec_Opt})
        option->setFont(groupFont());

    Label13 = label(this, QStringLiteral("Label13"), QStringLiteral("Auto Delete"), 9360, 2445, 1095, 255);
    Check2 = place<QCheckBox>(this, QStringLiteral("Check2"), 10400, 2440, 255, 255);
    Check2->setFont(groupFont());

    Image1 = place<QLabel>(this, QStringLiteral("Image1"), 8400, 2880, 2175, 495);
    Image1->setAlignment(Qt::AlignCenter);

    Frame1 = frame(this, QStringLiteral("Frame1"), {}, 120, 3400, 10515, 398);
    Label4 = label(Frame1, QStringLiteral("Label4"), QStringLiteral("Label4"), 120, 120, 1455, 225);
    // Wide enough for the longest summary ("115200bps,8,1.5,Space"): it takes the
    // gap before "Succeed :" that the design left free.
    Label10 = label(Frame1, QStringLiteral("Label10"), QStringLiteral("Label10"), 1580, 120, 1995, 225);
    Label8 = label(Frame1, QStringLiteral("Label8"), QStringLiteral("Succeed :"), 3600, 120, 1455, 225);
    Success_Label = label(Frame1, QStringLiteral("Success_Label"), QStringLiteral("0"), 4440, 120, 615, 225);
    Label9 = label(Frame1, QStringLiteral("Label9"), QStringLiteral("Failed :"), 5160, 120, 735, 225);
    Err_Label = label(Frame1, QStringLiteral("Err_Label"), QStringLiteral("0"), 5800, 120, 480, 225);
    Label5 = label(Frame1, QStringLiteral("Label5"), QStringLiteral("Label5"), 6480, 120, 2655, 225);
    Label6 = label(Frame1, QStringLiteral("Label6"), QStringLiteral("No Operate"), 9160, 120, 975, 225);
    Shape1 = place<CircleIndicator>(Frame1, QStringLiteral("Shape1"), 10120, 165, 255, 165);
    Shape1->setFillColor(ui::IndicatorYellow);

    // A frame's font would pass to everything inside it; only option buttons
    // and check boxes share it, the other controls keep the window's font.
    for (QGroupBox *group : {Frame1, Frame2, Frame3, Frame4})
        for (QWidget *control : group->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (!qobject_cast<QRadioButton *>(control) && !qobject_cast<QCheckBox *>(control))
                control->setFont(windowFont());

    // Reply timing wants millisecond accuracy: a coarse timer may fire 5% early.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    for (auto *timer : {Timer1, Timer2})
        timer->setTimerType(Qt::PreciseTimer);
}

void Form1::connectHandlers()
{
    connect(Combo1, &QComboBox::activated, this, &Form1::Combo1_Click);
    connect(Combo2, &QComboBox::activated, this, &Form1::Combo2_Click);
    connect(Combo3, &QComboBox::activated, this, &Form1::Combo3_Click);
    connect(Combo4, &QComboBox::activated, this, &Form1::Combo4_Click);
    connect(Combo5, &QComboBox::activated, this, &Form1::Combo5_Click);
    connect(Combo6, &QComboBox::activated, this, &Form1::Combo6_Click);
    connect(Combo7, &QComboBox::activated, this, &Form1::Combo7_Click);
    connect(Combo8, &QComboBox::activated, this, &Form1::Combo8_Click);
    connect(open_close_Command, &QPushButton::clicked, this, &Form1::open_close_Command_Click);
    connect(History_command, &QPushButton::clicked, this, &Form1::History_command_Click);
    connect(Send_command, &QPushButton::clicked, this, &Form1::Send_command_Click);
    connect(addr_Text, &QLineEdit::textChanged, this, &Form1::addr_Text_Change);
    connect(&m_port, &serial::SerialLine::received, this, &Form1::ReceiveEvent);
    connect(&m_port, &serial::SerialLine::lost, this, &Form1::portLost);
    connect(Timer1, &QTimer::timeout, this, &Form1::ReplyTimerTick);
    connect(Timer2, &QTimer::timeout, this, &Form1::TimeoutTick);
}

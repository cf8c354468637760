#include "settings/frmSet.h"

#include "assets/Assets.h"
#include "elements/ControlGeometry.h"
#include "elements/WindowIcon.h"
#include "geometry/Twips.h"
#include "platform/Fonts.h"
#include "settings/Keypad.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <memory>

namespace {

const QColor kPanelGrey(64, 64, 64);
const QColor kLightGrey(224, 224, 224);
const QColor kSpeedText(255, 192, 128);
const QColor kDisplayText(255, 128, 0);

void paint(QWidget* w, QColor background, std::optional<QColor> text = {})
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, background);
    pal.setColor(QPalette::Button, background);
    if (text) {
        pal.setColor(QPalette::WindowText, *text);
        pal.setColor(QPalette::ButtonText, *text);
    }
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QFrame* makeFrame(QWidget* parent, twips::Rect rect, QColor background)
{
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::NoFrame);
    paint(frame, background);
    placeControl(frame, rect);
    return frame;
}

QLabel* makeDisplay(QWidget* parent, twips::Rect rect, QColor text, const QFont& font)
{
    auto* label = new QLabel(parent);
    paint(label, Qt::black, text);
    label->setFont(font);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setFrameShape(QFrame::Box);
    label->setLineWidth(1);
    placeControl(label, rect);
    return label;
}

// Controls inside the coloured frames keep the desktop's own colours.
void useDesktopColours(QWidget* w)
{
    QPalette pal = QApplication::palette(w);
    // Mark every role as set here, or the palette would still be inherited from the frame.
    pal.setResolveMask(~QPalette::ResolveMask(0));
    w->setPalette(pal);
}

QPushButton* makeToggle(QWidget* parent, twips::Rect rect, const QString& picture, const QString& name)
{
    auto* button = new QPushButton(parent);
    useDesktopColours(button);
    button->setCheckable(true);
    button->setIcon(Assets::bitmapIcon(picture));
    button->setIconSize(QSize(50, 20));
    button->setAccessibleName(name);
    button->setToolTip(name);
    button->setFocusPolicy(Qt::StrongFocus);
    placeControl(button, rect);
    return button;
}

QScrollBar* makeSpeedSlider(QWidget* parent, twips::Rect rect, int initial)
{
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    useDesktopColours(bar);
    bar->setRange(1, 30000);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setValue(initial);
    bar->setFocusPolicy(Qt::StrongFocus);
    placeControl(bar, rect);
    return bar;
}

} // namespace

frmSet::frmSet(ControlDeskOwner& owner)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_owner(owner)
{
    Assets::init();
    setObjectName("frmSet");
    clearWindowIcon(this);
    setWindowTitle(tr("設定パネル"));
    setFixedSize(263, 171);
    setFont(Fonts::programFont(Fonts::kPGothic, 9));
    paint(this, kPanelGrey);
    buildControls();
    setTabOrder();
    connectHandlers();
}

void frmSet::buildControls()
{
    FrameA = makeFrame(this, { 30, 30, 2190, 1965 }, Qt::black);
    Check1 = makeToggle(FrameA, { 75, 165, 735, 510 }, "toggle_front", tr("前扉"));
    HScroll1 = makeSpeedSlider(FrameA, { 855, 195, 1260, 240 }, 6000);
    const QFont labelFont = Fonts::programFont(Fonts::kPGothic, 9);
    lblMaeSpeed = makeDisplay(FrameA, { 885, 450, 1215, 240 }, kSpeedText, labelFont);
    lblMaeSpeed->setText(QStringLiteral("0"));
    Check2 = makeToggle(FrameA, { 60, 840, 735, 525 }, "toggle_middle", tr("中扉"));
    HScroll2 = makeSpeedSlider(FrameA, { 840, 840, 1230, 240 }, 10000);
    lblNakaSpeed = makeDisplay(FrameA, { 870, 1110, 1200, 240 }, kSpeedText, labelFont);
    lblNakaSpeed->setText(QStringLiteral("0"));

    Frame2 = new CaptionFrame(tr("中扉動作"), FrameA);
    paint(Frame2, kLightGrey, Qt::black);
    placeControl(Frame2, { 60, 1410, 2085, 480 });
    const std::pair<const char*, twips::Rect> options[] = {
        { QT_TR_NOOP("両方"), { 60, 180, 735, 270 } },
        { QT_TR_NOOP("左"), { 795, 180, 570, 270 } },
        { QT_TR_NOOP("右"), { 1470, 165, 555, 270 } },
    };
    for (int i = 0; i < 3; ++i) {
        auto* option = new QRadioButton(tr(options[i].first), Frame2);
        paint(option, kLightGrey, Qt::black);
        placeControl(option, options[i].second);
        Option1.add(i, option);
    }
    Option1(0)->setChecked(true);

    Frame1 = makeFrame(this, { 2265, 0, 1620, 2505 }, kPanelGrey);
    Label1 = makeDisplay(Frame1, { 90, 240, 1455, 315 }, kDisplayText, Fonts::programFont(Fonts::kGothic, 14.25));
    Label1->setText(QString());

    const QFont digitFont = Fonts::programFont(Fonts::kPGothic, 12);
    for (int index = 0; index < Keypad::kKeyCount; ++index) {
        const Keypad::Cell cell = Keypad::cell(index);
        const twips::Rect rect { 75.0f + 495.0f * cell.column, 600.0f + 390.0f * cell.row, 510, 390 };
        auto* key = new QPushButton(Keypad::caption(index), Frame1);
        useDesktopColours(key);
        key->setFocusPolicy(Qt::StrongFocus);
        if (Keypad::isDigit(index)) {
            key->setFont(digitFont);
        } else {
            // Graphical style: the key is painted in the display's colour.
            QPalette pal = key->palette();
            pal.setColor(QPalette::Button, kDisplayText);
            pal.setColor(QPalette::ButtonText, Qt::black);
            key->setPalette(pal);
        }
        placeControl(key, rect);
        Command2.add(index, key);
    }

    Command1 = new QPushButton(tr("方向幕フォルダー"), Frame1);
    placeControl(Command1, { 75, 2190, 1530, 270 });
    Command3 = new QPushButton(tr("バージョン情報"), this);
    placeControl(Command3, { 720, 2145, 1515, 360 });
    for (QPushButton* b : { Command1, Command3 }) {
        useDesktopColours(b);
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAutoDefault(false);
    }
}

void frmSet::setTabOrder()
{
    // The panel's tab order: the keypad's keys, the door mode, the two toggles, then the sliders
    // and the two command buttons.
    std::vector<QWidget*> order;
    for (int i = 0; i < Keypad::kKeyCount; ++i)
        order.push_back(Command2(i));
    order.insert(order.end(), { Option1(2), Option1(1), Option1(0), Check1, Check2, HScroll2, HScroll1, Command3, Command1 });
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmSet::connectHandlers()
{
    connect(Check1, &QPushButton::clicked, this, [this] { Check1_Click(); });
    connect(Check2, &QPushButton::clicked, this, [this] { Check2_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    for (const auto& [index, key] : Command2)
        connect(key, &QPushButton::clicked, this, [this, index = index] { Command2_Click(index); });
    raiseChangeWhenSettled(HScroll1, &frmSet::HScroll1_Change);
    raiseChangeWhenSettled(HScroll2, &frmSet::HScroll2_Change);
}

void frmSet::raiseChangeWhenSettled(QScrollBar* bar, void (frmSet::*change)())
{
    // While the thumb is dragged the value follows it, so a moving door already takes the new
    // pace, but the change handler waits until the thumb is let go somewhere new. Arrow and page
    // clicks, keys and values set by the program raise it at once.
    auto valueAtPress = std::make_shared<int>(bar->value());
    connect(bar, &QScrollBar::sliderPressed, this, [bar, valueAtPress] { *valueAtPress = bar->value(); });
    connect(bar, &QScrollBar::valueChanged, this, [this, bar, change] {
        if (!bar->isSliderDown())
            (this->*change)();
    });
    connect(bar, &QScrollBar::sliderReleased, this, [this, bar, change, valueAtPress] {
        if (bar->value() != *valueAtPress)
            (this->*change)();
    });
}

float frmSet::Left() const
{
    return twips::fromPixels(frameGeometry().x());
}

float frmSet::Top() const
{
    return twips::fromPixels(frameGeometry().y());
}

void frmSet::setLeft(float v)
{
    move(twips::toPixel(v), frameGeometry().y());
}

void frmSet::setTop(float v)
{
    move(frameGeometry().x(), twips::toPixel(v));
}

int frmSet::Value(const QPushButton* toggle)
{
    return toggle->isChecked() ? 1 : 0;
}

bool frmSet::setMode(int mode)
{
    if (mode < 0 || mode > 2)
        return false;
    Option1(mode)->setChecked(true);
    return true;
}

bool frmSet::frontDoorOpen() const
{
    return Value(Check1) != 0;
}

bool frmSet::middleDoorOpen() const
{
    return Value(Check2) != 0;
}

Doors::LeafChoice frmSet::leafChoice() const
{
    // Both leaves, the left one, or (with the third option, or none) the right.
    switch (Mode()) {
    case 0: return Doors::LeafChoice::Both;
    case 1: return Doors::LeafChoice::Left;
    default: return Doors::LeafChoice::Right;
    }
}

void frmSet::showFrontSpeed()
{
    lblMaeSpeed->setText(QString::number(frontSpeed()));
}

void frmSet::showMiddleSpeed()
{
    lblNakaSpeed->setText(QString::number(middleSpeed()));
}

int frmSet::frontSpeed() const
{
    return HScroll1->value();
}

int frmSet::middleSpeed() const
{
    return HScroll2->value();
}

bool frmSet::setSpeeds(qint32 front, qint32 middle)
{
    const auto fits = [](const QScrollBar* bar, qint32 v) { return v >= bar->minimum() && v <= bar->maximum(); };
    if (!fits(HScroll1, front) || !fits(HScroll2, middle))
        return false;
    HScroll1->setValue(front);
    HScroll2->setValue(middle);
    return true;
}

int frmSet::Mode() const
{
    for (const auto& [index, option] : Option1) {
        if (option->isChecked())
            return index;
    }
    return -1;
}

void frmSet::Check1_Click()
{
    m_owner.Check1_Click();
}

void frmSet::Check2_Click()
{
    Frame2->setEnabled(Value(Check2) != 1);
    m_owner.Check2_Click();
}

void frmSet::Command1_Click()
{
    m_owner.MnuEditHkPic_Click();
}

void frmSet::Command2_Click(int index)
{
    if (Keypad::isDigit(index))
        Label1->setText(Keypad::appendDigit(Label1->text(), index));
    else if (index == Keypad::Clear)
        Label1->clear();
    else if (index == Keypad::Enter)
        m_owner.SignKeypadEnter(Label1->text());
}

void frmSet::Command3_Click()
{
    m_owner.MnuHelpVer_Click();
}

void frmSet::HScroll1_Change()
{
    m_owner.HScroll1_Change();
}

void frmSet::HScroll2_Change()
{
    m_owner.HScroll2_Change();
}

void frmSet::closeEvent(QCloseEvent* event)
{
    // The panel lives as long as the bus: only the bus window's shutdown takes it away.
    event->ignore();
}

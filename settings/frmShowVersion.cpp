#include "settings/frmShowVersion.h"

#include "assets/Assets.h"
#include "elements/ControlGeometry.h"
#include "elements/WindowIcon.h"
#include "geometry/Twips.h"
#include "platform/Fonts.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <cstdint>

namespace {

const QColor kDarkGrey(78, 78, 78);

QLabel* makeLabel(QWidget* parent, twips::Rect rect, const QString& text, QColor fore, std::optional<QColor> back)
{
    auto* label = new QLabel(text, parent);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, fore);
    if (back) {
        pal.setColor(QPalette::Window, *back);
        label->setAutoFillBackground(true);
    }
    label->setPalette(pal);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeControl(label, rect);
    return label;
}

// The pointing hand drawn for the screen's scale. The window system takes the hot spot in the
// cursor picture's own pixels.
QCursor handCursor(qreal devicePixelRatio)
{
    const Assets::Cursor hand = Assets::handCursor(devicePixelRatio);
    if (hand.image.isNull())
        return QCursor(Qt::PointingHandCursor);
    return QCursor(QPixmap::fromImage(hand.image), hand.hotSpot.x(), hand.hotSpot.y());
}

} // namespace

frmShowVersion::frmShowVersion(Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_platform(platform)
    , m_icon(Assets::programIcon())
{
    Assets::init();
    setObjectName("frmShowVersion");
    clearWindowIcon(this);
    setWindowTitle(tr("くるりん号のバージョン情報"));
    setModal(true);
    setFixedSize(333, 223);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    // Made from the bottom of the stack up, so that the first listed lies on top.
    Label1.add(0, makeLabel(this, { 900, 240, 3840, 330 }, tr("くるりん号"), Qt::yellow, kDarkGrey));
    Label1(0)->setFont(Fonts::programFont(Fonts::kPGothic, 14.25, true));
    Label2 = makeLabel(this, { 165, 1035, 3225, 225 }, tr("Varsion　1.0.0"), Qt::yellow, kDarkGrey);
    Label3.add(0, makeLabel(this, { 165, 1290, 3225, 240 }, tr("製作：ソラミチ工房"), Qt::white, kDarkGrey));
    Label3.add(1, makeLabel(this, { 165, 1545, 3225, 240 }, tr("絵・音・プログラム：ソラミチ工房"),
                            Qt::white, kDarkGrey));
    Label3.add(2, makeLabel(this, { 165, 1800, 3225, 240 }, QString(), Qt::white, kDarkGrey));
    Label3(2)->hide();
    Image1 = new QLabel(this);
    placeControl(Image1, { 285, 165, 480, 480 });
    Label4 = new QLabel(this);
    Label4->setFrameShape(QFrame::Box);
    Label4->setLineWidth(1);
    QPalette bar = Label4->palette();
    bar.setColor(QPalette::Window, bar.color(QPalette::Button));
    Label4->setPalette(bar);
    Label4->setAutoFillBackground(true);
    placeControl(Label4, { 15, 2835, 4965, 60 });
    Label5 = makeLabel(this, { 240, 2985, 3315, 225 }, tr("ここをクリックするとソラミチHPが開きます。"),
                       QColor(0, 0, 255), std::nullopt);
    Label5->setFont(Fonts::programFont(Fonts::kPGothic, 9, false, true));
    showForScreenScale();
    Label5->installEventFilter(this);
    Label1.add(1, makeLabel(this, { 165, 720, 4605, 270 }, QString(), Qt::yellow, kDarkGrey));
    Label1(1)->setFont(Fonts::programFont(Fonts::kPGothic, 9.75, true));
    Command1 = new QPushButton(tr("OK"), this);
    placeControl(Command1, { 3570, 2940, 1230, 345 });
    Command1->setDefault(true);
    Command1->setFocus();
    for (const auto& [index, label] : Label1)
        label->setFocusPolicy(Qt::NoFocus);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    Form_Load();
}

void frmShowVersion::Form_Load()
{
    Label1(1)->setText(tr("型番・製造番号：") + m_platform.ExeName());
}

void frmShowVersion::Label5_Click()
{
    const Result<QString> answer = m_platform.MakerHomepage();
    if (!answer.ok()) {
        m_platform.MsgBox(this, answer.failure().description + QStringLiteral("\r\n\r\n") + tr(" 上記内容をソラミチHP関係者まで報告してください。"),
                          tr("Sorhpurl.dllのエラー"), Platform::MsgIcon::Critical);
        return;
    }
    m_platform.OpenUrl(this, answer.value());
}

void frmShowVersion::Command1_Click()
{
    m_unloading = true;
    hide();
    accept();
}

void frmShowVersion::showForScreenScale()
{
    const qreal ratio = devicePixelRatioF();
    Image1->setPixmap(m_icon.pixmap(QSize(32, 32), ratio));
    Label5->setCursor(handCursor(ratio));
}

bool frmShowVersion::event(QEvent* event)
{
    if (event->type() == QEvent::ScreenChangeInternal)
        showForScreenScale();
    return QDialog::event(event);
}

bool frmShowVersion::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label5 && event->type() == QEvent::MouseButtonRelease) {
        const auto* release = static_cast<QMouseEvent*>(event);
        if (release->button() == Qt::LeftButton && Label5->rect().contains(release->position().toPoint()))
            Label5_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmShowVersion::showEvent(QShowEvent* event)
{
    // QDialog would centre the box itself; it stands where the window manager puts it.
    QWidget::showEvent(event);
}

void frmShowVersion::closeEvent(QCloseEvent* event)
{
    // No close box: only OK, or Escape, closes the box.
    if (m_unloading)
        event->accept();
    else
        event->ignore();
}

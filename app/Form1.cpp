#include "app/Form1.h"

#include "assets/Assets.h"
#include "elements/InputCodes.h"
#include "elements/RepaintBatch.h"
#include "geometry/Twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

namespace {

// Each door step is painted in one go, and before its pause.
class BatchDisplay final : public Doors::StepDisplay {
public:
    explicit BatchDisplay(QWidget* window) : m_batch(window) { }
    void showStep() override { m_batch.flush(); }

private:
    RepaintBatch m_batch;
};

const QString kProgramTitle = QStringLiteral("くるりん号");
const QString kSignboardFilter = QStringLiteral("画像ファイル (*.bmp *.jpeg *.jpg *.gif *.wmf *.emf *.png);;"
                                                "すべてのファイル (*)");
const QString kFilePattern = QStringLiteral("*.bmp;*.wmf;*.emf;*.gif;*.jpg;*.jpeg");
const QColor kFrameFill(224, 224, 224);
const QColor kFrameBorder(128, 128, 128);

// Drawn for each screen scale; the drawing for the bus window's screen is read now.
Picture resourcePicture(const char* name, qreal devicePixelRatio)
{
    const QString resource = QString::fromLatin1(name);
    return Picture([resource](qreal ratio) { return Assets::bitmap(resource, ratio); }, devicePixelRatio);
}

} // namespace

Form1::Form1(Platform& platform)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , PicKanban(nullptr)
    , File1(platform, { 3585, 2895, 1395, 270 })
    , m_platform(platform)
    , m_common(platform)
    , m_signFace(*createSignBox())
    , m_sign(platform, File1, m_signFace, QSize(50, 30))
    , m_settings(platform)
{
    Assets::init();
    setObjectName("Form1");
    setWindowTitle(QStringLiteral("くるりん号　-　RX27A0022"));
    setWindowIcon(Assets::programIcon());
    setFixedSize(twips::toPixel(12105), twips::toPixel(3375));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_body = resourcePicture("A1", devicePixelRatioF());
    createElements();
    createMenu();
}

Form1::~Form1() = default;

ImageElement* Form1::createSignBox()
{
    // Made first of all child windows, so that every later one lies above it; the sign logic
    // needs the sign's picture element from the start.
    Picture1 = new PictureBox(this, { 7485, 615, 780, 480 });
    Picture1->setObjectName("Picture1");
    ImgDesiMaku = &Picture1->addImage({ 0, 0, 780, 480 }, false);
    return ImgDesiMaku;
}

void Form1::createElements()
{
    ImgDesiMaku->setPicture(resourcePicture("A4", devicePixelRatioF()));

    PicKanban = new PictureBox(this, { 3225, 1545, 1410, 450 });
    PicKanban->setObjectName("PicKanban");
    PicKanban->setAutoSize(true);

    File1.setPattern(kFilePattern);

    QWidget::setTabOrder(Picture1, PicKanban);
    Picture1->setFocus();

    auto& leftLeaf = imgNakaorido.add(0, std::make_unique<ImageElement>(this, twips::Rect { 5475, 795, 855, 2325 }, true));
    leftLeaf.setPicture(resourcePicture("A3L", devicePixelRatioF()));
    auto& rightLeaf = imgNakaorido.add(1, std::make_unique<ImageElement>(this, twips::Rect { 6330, 795, 855, 2325 }, true));
    rightLeaf.setPicture(resourcePicture("A3R", devicePixelRatioF()));

    auto& hidden = Image1.add(1, std::make_unique<ImageElement>(this, twips::Rect { 390, 795, 1155, 2265 }, true));
    hidden.setVisible(false);
    auto& frontDoor = Image1.add(2, std::make_unique<ImageElement>(this, twips::Rect { 390, 795, 1155, 2265 }, true));
    frontDoor.setPicture(resourcePicture("A2", devicePixelRatioF()));

    shpK_Waku.add(0, std::make_unique<ShapeElement>(this, twips::Rect { 3150, 1530, 75, 495 }, kFrameFill, kFrameBorder));
    shpK_Waku.add(1, std::make_unique<ShapeElement>(this, twips::Rect { 4635, 1530, 75, 495 }, kFrameFill, kFrameBorder));
    shpK_Waku.add(2, std::make_unique<ShapeElement>(this, twips::Rect { 3150, 1995, 1560, 60 }, kFrameFill, kFrameBorder));

    m_signboard = std::make_unique<Signboard>(*PicKanban, shpK_Waku);
    m_windowless = { &imgNakaorido(0), &imgNakaorido(1), &Image1(2), &Image1(1), &shpK_Waku(0), &shpK_Waku(1), &shpK_Waku(2) };

    connect(Picture1, &PictureBox::Click, this, [this] { Picture1_Click(); });
    connect(Picture1, &PictureBox::ImageClick, this, [this] { ImgDesiMaku_Click(); });
    connect(Picture1, &PictureBox::KeyDown, this, [this](int key, int shift) { Picture1_KeyDown(key, shift); });
    connect(PicKanban, &PictureBox::MouseDown, this,
            [this](int button, int shift, float x, float y) { PicKanban_MouseDown(button, shift, x, y); });
    connect(PicKanban, &PictureBox::DblClick, this, [this] { PicKanban_DblClick(); });
    connect(PicKanban, &PictureBox::Resize, this, [this] { PicKanban_Resize(); });
}

void Form1::createMenu()
{
    MnuTempMenu1 = new QMenu(QStringLiteral("MnuTempMenu1"), this);
    MnuTempMenu1->setObjectName("MnuTempMenu1");
    MnuViewKanban = std::make_unique<MenuItem>(MnuTempMenu1, QStringLiteral("看板の表示"), true);
    MnuViewWaku = std::make_unique<MenuItem>(MnuTempMenu1, QStringLiteral("枠の表示"), true);
    MnuSetKanban = std::make_unique<MenuItem>(MnuTempMenu1, QStringLiteral("看板の画像を設定..."), false);
    MnuBdr1 = MnuTempMenu1->addSeparator();
    MnuKanbanReset = std::make_unique<MenuItem>(MnuTempMenu1, QStringLiteral("看板のリセット"), false);

    connect(MnuViewKanban->action(), &QAction::triggered, this, [this] { MnuViewKanban_Click(); });
    connect(MnuViewWaku->action(), &QAction::triggered, this, [this] { MnuViewWaku_Click(); });
    connect(MnuSetKanban->action(), &QAction::triggered, this, [this] { MnuSetKanban_Click(); });
    connect(MnuKanbanReset->action(), &QAction::triggered, this, [this] { MnuKanbanReset_Click(); });
}

frmSet& Form1::panel()
{
    if (!m_panel)
        m_panel = std::make_unique<frmSet>(*this);
    return *m_panel;
}

float Form1::Left() const
{
    return twips::fromPixels(frameGeometry().x());
}

float Form1::Top() const
{
    return twips::fromPixels(frameGeometry().y());
}

float Form1::Width() const
{
    return twips::fromPixels(frameGeometry().width());
}

float Form1::Height() const
{
    return twips::fromPixels(frameGeometry().height());
}

void Form1::setLeft(float v)
{
    move(twips::toPixel(v), frameGeometry().y());
}

void Form1::setTop(float v)
{
    move(frameGeometry().x(), twips::toPixel(v));
}

void Form1::Form_Load()
{
    LoadIni();
    frmSet& desk = panel();
    // Topmost before it is first shown, so the window manager maps it above the others at once
    // instead of raising it a moment later.
    m_platform.SetTopmost(&desk);
    desk.show();
    setWindowTitle(QStringLiteral("くるりん号　-　") + m_platform.ExeName());
}

void Form1::LoadIni()
{
    // The stored values the file did not get to keep what they held; a save writes them back.
    IniRecord::Values& v = m_settings.values();
    v.signFolder = m_sign.folderPath();
    const bool whole = m_settings.load();
    m_sign.setFolderPath(v.signFolder);
    if (!whole || !applySettings(v))
        recoverSettings();
}

bool Form1::applySettings(const IniRecord::Values& v)
{
    setLeft(v.form1Left);
    setTop(v.form1Top);
    panel().setLeft(v.panelLeft);
    panel().setTop(v.panelTop);
    keepOnScreen(this);
    keepOnScreen(&panel());

    m_signboard->setShown(v.signboardShown);
    MnuViewKanban->setChecked(v.signboardShown);
    m_signboard->setFrameShown(v.frameShown);
    MnuViewWaku->setChecked(v.frameShown);
    m_signboard->placeAt(v.signboardLeft, v.signboardTop);

    // A picture that cannot be loaded now (deleted, or on a drive that is not there) is simply
    // missing: everything else still applies, and the path is kept for when the file is back.
    PictureLoad board = m_platform.LoadPicture(v.signboardPath, QSize());
    m_signboard->setPicture(board.ok() ? std::move(board.picture) : Picture());

    if (!panel().setSpeeds(v.frontSpeed, v.middleSpeed))
        return false;

    // A sign folder that is gone, or not chosen yet, leaves the default sign up; the path stays
    // as it was for when the folder is back.
    if (m_sign.pointListAtFolder().result == DestinationSign::FolderResult::Listed) {
        m_sign.ensureTrailingSeparator();
        m_sign.show(File1.List(0));
    }

    return panel().setMode(v.mode);
}

void Form1::recoverSettings()
{
    // No settings file, or one that cannot be used: the arrangement a first run gets.
    setLeft(0);
    setTop(0);
    panel().setLeft(0);
    panel().setTop(Height());
    placePanelUnderBusOnceFramed();
    MnuKanbanReset_Click();
    panel().setSpeeds(10000, 6000);
    panel().setMode(0);
}

void Form1::keepOnScreen(QWidget* window)
{
    // A monitor unplugged since the last run must not leave a window where nobody can see it.
    const QRect placed(window->frameGeometry().topLeft(), window->frameGeometry().size());
    const auto screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        if (screen->availableGeometry().intersects(placed))
            return;
    }
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        window->move(primary->availableGeometry().topLeft());
}

void Form1::placePanelUnderBusOnceFramed()
{
    // Until the window manager has put its frame around the bus, the bus's outer height is not
    // known; the panel is moved under the frame once it is.
    auto* timer = new QTimer(this);
    timer->setInterval(25);
    auto deadline = std::make_shared<int>(80);
    connect(timer, &QTimer::timeout, this, [this, timer, deadline] {
        const bool framed = isVisible() && frameGeometry().height() > height();
        if (framed && m_panel)
            m_panel->move(m_panel->frameGeometry().x(), frameGeometry().bottom() + 1);
        if (framed || --*deadline <= 0)
            timer->deleteLater();
    });
    timer->start();
}

void Form1::SaveIni()
{
    const frmSet& desk = panel();
    IniRecord::Values& v = m_settings.values();
    v.form1Left = Left();
    v.form1Top = Top();
    v.panelLeft = desk.Left();
    v.panelTop = desk.Top();
    v.signFolder = m_sign.folderPath();
    v.signboardLeft = PicKanban->Left();
    v.signboardTop = PicKanban->Top();
    v.signboardShown = MnuViewKanban->Checked();
    v.frameShown = MnuViewWaku->Checked();
    v.frontSpeed = desk.frontSpeed();
    v.middleSpeed = desk.middleSpeed();
    // With no option selected the last one counts, as it always has.
    v.mode = qint16(desk.Mode() < 0 ? 2 : desk.Mode());
    if (const std::optional<QString> failure = m_settings.save()) {
        m_platform.MsgBox(this, QStringLiteral("設定を保存できませんでした。\n%1\n\n%2").arg(m_settings.pathForWriting(), *failure),
                          kProgramTitle, Platform::MsgIcon::Exclamation);
    }
}

void Form1::Form_Unload()
{
    if (m_unloading)
        return;
    m_unloading = true;
    SaveIni();
    // The program ends at once: no further handler of any window runs.
    hide();
    if (m_panel)
        m_panel->hide();
    QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
}

void Form1::Check1_Click()
{
    frmSet& desk = panel();
    Doors::ElementLeaf door(Image1(2));
    const Doors::SpeedSource speed = [&desk] { return desk.HScroll1->value(); };
    BatchDisplay display(this);
    if (frmSet::Value(desk.Check1) == 0)
        Doors::closeFrontDoor(door, speed, *m_pacer, display);
    else
        Doors::openFrontDoor(door, speed, *m_pacer, display);
}

void Form1::Check2_Click()
{
    frmSet& desk = panel();
    const bool opening = frmSet::Value(desk.Check2) != 0;
    if (opening)
        m_common.PlayResSoundWait(101);
    else
        m_common.PlayResSound(102);

    // Read after the sound: the single event pass of the closing clip may have run handlers.
    Doors::LeafChoice choice = Doors::LeafChoice::Right;
    if (desk.Option1(0)->isChecked())
        choice = Doors::LeafChoice::Both;
    else if (desk.Option1(1)->isChecked())
        choice = Doors::LeafChoice::Left;

    Doors::ElementLeaf left(imgNakaorido(0));
    Doors::ElementLeaf right(imgNakaorido(1));
    const Doors::SpeedSource speed = [&desk] { return desk.HScroll2->value(); };
    BatchDisplay display(this);
    if (opening)
        Doors::openMiddleDoor(left, right, choice, speed, *m_pacer, display);
    else
        Doors::closeMiddleDoor(left, right, choice, speed, *m_pacer, display);
}

void Form1::HScroll1_Change()
{
    panel().lblMaeSpeed->setText(QString::number(panel().HScroll1->value()));
}

void Form1::HScroll2_Change()
{
    panel().lblNakaSpeed->setText(QString::number(panel().HScroll2->value()));
}

void Form1::MnuEditHkPic_Click()
{
    if (m_browseDir) {
        // Already open (a path that was not found): it stays in use, holding the path again.
        m_browseDir->Text1->setText(SignFolderPath());
        return;
    }
    // No owner: the window manager places it, as it would any new window.
    frmBrowseDir window(*this, nullptr);
    m_browseDir = &window;
    window.Text1->setText(SignFolderPath());
    window.exec();
    m_browseDir = nullptr;
}

bool Form1::picDir()
{
    const auto outcome = m_sign.pointListAtFolder();
    switch (outcome.result) {
    case DestinationSign::FolderResult::Listed:
        return true;
    case DestinationSign::FolderResult::NotFound:
        m_platform.MsgBox(activeModalOwner(), QStringLiteral("指定したパスが見つかりません。再度指定しなおしてください。"),
                          kProgramTitle, Platform::MsgIcon::None);
        MnuEditHkPic_Click();
        return false;
    case DestinationSign::FolderResult::OtherFailure:
        m_platform.MsgBox(activeModalOwner(), outcome.description, kProgramTitle, Platform::MsgIcon::None);
        return true;
    }
    return true;
}

QWidget* Form1::activeModalOwner()
{
    if (m_browseDir)
        return m_browseDir;
    return this;
}

QString Form1::BrowseForFolder(const QString& title)
{
    return m_platform.BrowseForFolder(this, title);
}

void Form1::MnuHelpVer_Click()
{
    frmShowVersion box(m_platform, this);
    m_aboutBox = &box;
    box.exec();
    m_aboutBox = nullptr;
}

void Form1::SignKeypadEnter(const QString& digits)
{
    m_sign.showNumber(digits);
}

void Form1::Form_MouseDown(int button, int, float, float)
{
    if (button == 2)
        m_platform.PopupMenu(MnuTempMenu1, QCursor::pos());
}

void Form1::Image1_Click(int)
{
    Picture1->setFocus();
}

void Form1::ImgDesiMaku_Click()
{
    Picture1->setFocus();
}

void Form1::Picture1_Click()
{
    Picture1->setFocus();
}

void Form1::Picture1_KeyDown(int keyCode, int)
{
    m_sign.keyDown(keyCode);
}

void Form1::PicKanban_MouseDown(int button, int, float x, float y)
{
    if (button == 1) {
        // The board follows the mouse until the button is released; the frame stays behind
        // until the next fit.
        const QPoint grab(qRound(x / twips::kPerPixel), qRound(y / twips::kPerPixel));
        m_platform.DragWithMouse(PicKanban, grab);
        PicKanban->syncFromWidgetGeometry();
    } else if (button == 2) {
        m_platform.PopupMenu(MnuTempMenu1, QCursor::pos());
    }
}

void Form1::PicKanban_DblClick()
{
    m_signboard->fit();
}

void Form1::PicKanban_Resize()
{
    m_signboard->followResize();
}

void Form1::MnuViewKanban_Click()
{
    m_signboard->setShown(!MnuViewKanban->Checked());
    MnuViewKanban->setChecked(!MnuViewKanban->Checked());
}

void Form1::MnuViewWaku_Click()
{
    m_signboard->setFrameShown(!MnuViewWaku->Checked());
    MnuViewWaku->setChecked(!MnuViewWaku->Checked());
}

void Form1::MnuSetKanban_Click()
{
    // Every failure here ends the command quietly, with the signboard as it was.
    const QString name = m_platform.GetOpenFileName(this, kSignboardFilter);
    if (name.isEmpty())
        return;
    PictureLoad load = m_platform.LoadPicture(name, QSize());
    if (!load.ok())
        return;
    m_signboard->setPicture(std::move(load.picture));
    m_settings.values().signboardPath = name;
}

void Form1::MnuKanbanReset_Click()
{
    m_signboard->reset();
}

WindowlessElement* Form1::elementAt(QPointF pixel) const
{
    for (WindowlessElement* element : m_windowless) {
        if (element->hitTest(pixel))
            return element;
    }
    return nullptr;
}

void Form1::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.fillRect(rect(), palette().color(QPalette::Button));
    // The body picture is one pixel wider and lower than the client area: its last column is
    // cut off, and the bottom row shows the button-face colour.
    m_body.drawAt(painter, QPointF(0, 0));
    for (auto it = m_windowless.rbegin(); it != m_windowless.rend(); ++it)
        (*it)->paint(painter);
}

bool Form1::event(QEvent* event)
{
    // Moved to a screen of another scale: the pictures follow at the next paint, but the window
    // manager only hears of an icon when it is set.
    if (event->type() == QEvent::ScreenChangeInternal)
        setWindowIcon(windowIcon());
    return QWidget::event(event);
}

void Form1::mousePressEvent(QMouseEvent* event)
{
    WindowlessElement* element = elementAt(event->position());
    // A frame bar counts as the window's own surface; a door picture keeps its presses.
    const bool isShape = dynamic_cast<ShapeElement*>(element) != nullptr;
    if (element && !isShape) {
        m_pressedElement = event->button() == Qt::LeftButton ? element : nullptr;
        return;
    }
    m_pressedElement = nullptr;
    const QPointF p = event->position();
    Form_MouseDown(vbButton(event->button()), vbShift(event->modifiers()), float(p.x()) * twips::kPerPixel,
                   float(p.y()) * twips::kPerPixel);
}

void Form1::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressedElement)
        return;
    WindowlessElement* pressed = std::exchange(m_pressedElement, nullptr);
    if (elementAt(event->position()) != pressed)
        return;
    for (const auto& [index, image] : Image1) {
        if (image.get() == pressed)
            Image1_Click(index);
    }
}

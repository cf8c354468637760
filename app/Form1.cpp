#include "app/Form1.h"

#include "assets/Assets.h"
#include "elements/InputCodes.h"
#include "geometry/Twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

Form1::Form1(Platform& platform)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , PicKanban(nullptr)
    , File1(platform)
    , m_platform(platform)
    , m_common(platform)
    , m_doors(*this, m_common, Image1, imgNakaorido)
    , m_signFace(createSignBox())
    , m_sign(platform, File1, m_signFace, QSize(50, 30))
    , m_settings(platform)
{
    Assets::init();
    dressWindow();
    createElements();
    m_signboard = std::make_unique<Signboard>(*PicKanban, shpK_Waku);
    m_layer.setElements(stackingOrder());
    connectElements();
    createMenu();
    m_busSettings = std::make_unique<BusSettings>(*this, *m_signboard, m_settings, m_platform);
}

Form1::~Form1() = default;

QString Form1::programTitle()
{
    return tr("くるりん号");
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
    setWindowTitle(tr("くるりん号　-　") + m_platform.ExeName());
}

void Form1::LoadIni()
{
    m_busSettings->load();
}

void Form1::SaveIni()
{
    m_busSettings->save();
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
    m_doors.driveFront(panel(), *m_pacer);
}

void Form1::Check2_Click()
{
    m_doors.driveMiddle(panel(), *m_pacer);
}

void Form1::HScroll1_Change()
{
    panel().showFrontSpeed();
}

void Form1::HScroll2_Change()
{
    panel().showMiddleSpeed();
}

void Form1::MnuEditHkPic_Click()
{
    if (m_browseDir) {
        // Already open (a path that was not found): it stays in use, holding the path again.
        m_browseDir->showPath(SignFolderPath());
        return;
    }
    // No owner: the window manager places it, as it would any new window.
    frmBrowseDir window(*this, nullptr);
    m_browseDir = &window;
    window.showPath(SignFolderPath());
    window.exec();
    m_browseDir = nullptr;
}

bool Form1::picDir()
{
    const Result<void> listed = m_sign.pointListAtFolder();
    if (listed.ok())
        return true;
    if (listed.kind() == Failure::Kind::NotFound) {
        m_platform.MsgBox(activeModalOwner(), tr("指定したパスが見つかりません。再度指定しなおしてください。"),
                          programTitle(), Platform::MsgIcon::None);
        MnuEditHkPic_Click();
        return false;
    }
    m_platform.MsgBox(activeModalOwner(), listed.failure().description, programTitle(), Platform::MsgIcon::None);
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
    // No owner, like the folder window: the window manager places it.
    frmShowVersion box(m_platform, nullptr);
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
    if (button == VbButton::Right)
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
    if (button == VbButton::Left)
        m_signboard->dragFrom(m_platform, QPoint(qRound(x / twips::kPerPixel), qRound(y / twips::kPerPixel)));
    else if (button == VbButton::Right)
        m_platform.PopupMenu(MnuTempMenu1, QCursor::pos());
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
    if (const Result<QString> name = m_signboard->choosePicture(m_platform, this); name.ok())
        m_settings.values().signboardPath = name.value();
}

void Form1::MnuKanbanReset_Click()
{
    m_signboard->reset();
}

void Form1::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.fillRect(rect(), palette().color(QPalette::Button));
    // The body picture is one pixel wider and lower than the client area: its last column is
    // cut off, and the bottom row shows the button-face colour.
    m_body.drawAt(painter, QPointF(0, 0));
    m_layer.paint(painter);
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
    if (m_layer.press(event->position(), event->button()))
        return;
    const QPointF p = event->position();
    Form_MouseDown(vbButton(event->button()), vbShift(event->modifiers()), float(p.x()) * twips::kPerPixel,
                   float(p.y()) * twips::kPerPixel);
}

void Form1::mouseReleaseEvent(QMouseEvent* event)
{
    const WindowlessElement* clicked = m_layer.release(event->position(), event->button());
    if (!clicked)
        return;
    for (const auto& [index, image] : Image1) {
        if (image.get() == clicked)
            Image1_Click(index);
    }
}

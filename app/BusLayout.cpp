// The bus window's construction: where everything on it stands, what it shows, and which handler
// each element's events reach. The elements are made in a fixed order: it decides their stacking
// and tab order.
#include "app/Form1.h"

#include "assets/Assets.h"
#include "geometry/Twips.h"

#include <QMenu>

#include <memory>

namespace {

const QString kFilePattern = QStringLiteral("*.bmp;*.wmf;*.emf;*.gif;*.jpg;*.jpeg");

// One of the program's own drawings, drawn anew for each screen scale; the one for the given
// scale is read now.
Picture resourcePicture(const char* name, qreal devicePixelRatio)
{
    const QString resource = QString::fromLatin1(name);
    return Picture([resource](qreal ratio) { return Assets::bitmap(resource, ratio); }, devicePixelRatio);
}

} // namespace

void Form1::dressWindow()
{
    setObjectName("Form1");
    setWindowTitle(tr("くるりん号　-　RX27A0022"));
    setWindowIcon(Assets::programIcon());
    setFixedSize(twips::toPixel(12105), twips::toPixel(3375));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_body = resourcePicture("A1", devicePixelRatioF());
}

ImageElement& Form1::createSignBox()
{
    Picture1 = new PictureBox(this, { 7485, 615, 780, 480 });
    Picture1->setObjectName("Picture1");
    ImgDesiMaku = &Picture1->addImage({ 0, 0, 780, 480 }, false);
    return *ImgDesiMaku;
}

void Form1::createElements()
{
    ImgDesiMaku->setPicture(resourcePicture("A4", devicePixelRatioF()));

    PicKanban = Signboard::makeBoard(*this);

    File1.setPattern(kFilePattern);

    QWidget::setTabOrder(Picture1, PicKanban);
    Picture1->setFocus();

    createDoorPictures();
    Signboard::makeFrame(*this, shpK_Waku);
}

void Form1::createDoorPictures()
{
    const qreal ratio = devicePixelRatioF();
    auto& leftLeaf = imgNakaorido.add(0, std::make_unique<ImageElement>(this, twips::Rect { 5475, 795, 855, 2325 }, true));
    leftLeaf.setPicture(resourcePicture("A3L", ratio));
    auto& rightLeaf = imgNakaorido.add(1, std::make_unique<ImageElement>(this, twips::Rect { 6330, 795, 855, 2325 }, true));
    rightLeaf.setPicture(resourcePicture("A3R", ratio));

    auto& hidden = Image1.add(1, std::make_unique<ImageElement>(this, twips::Rect { 390, 795, 1155, 2265 }, true));
    hidden.setVisible(false);
    auto& frontDoor = Image1.add(2, std::make_unique<ImageElement>(this, twips::Rect { 390, 795, 1155, 2265 }, true));
    frontDoor.setPicture(resourcePicture("A2", ratio));
}

std::vector<WindowlessElement*> Form1::stackingOrder()
{
    return { &imgNakaorido(0), &imgNakaorido(1), &Image1(2), &Image1(1), &shpK_Waku(0), &shpK_Waku(1), &shpK_Waku(2) };
}

void Form1::connectElements()
{
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
    MnuViewKanban = std::make_unique<MenuItem>(MnuTempMenu1, tr("看板の表示"), true);
    MnuViewWaku = std::make_unique<MenuItem>(MnuTempMenu1, tr("枠の表示"), true);
    MnuSetKanban = std::make_unique<MenuItem>(MnuTempMenu1, tr("看板の画像を設定..."), false);
    MnuBdr1 = MnuTempMenu1->addSeparator();
    MnuKanbanReset = std::make_unique<MenuItem>(MnuTempMenu1, tr("看板のリセット"), false);

    connect(MnuViewKanban->action(), &QAction::triggered, this, [this] { MnuViewKanban_Click(); });
    connect(MnuViewWaku->action(), &QAction::triggered, this, [this] { MnuViewWaku_Click(); });
    connect(MnuSetKanban->action(), &QAction::triggered, this, [this] { MnuSetKanban_Click(); });
    connect(MnuKanbanReset->action(), &QAction::triggered, this, [this] { MnuKanbanReset_Click(); });
}

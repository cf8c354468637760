#include "app/BusLayout.h"

#include "app/Form1.h"
#include "assets/Assets.h"
#include "geometry/Twips.h"

#include <QMenu>

#include <memory>

namespace {

const QString kFilePattern = QStringLiteral("*.bmp;*.wmf;*.emf;*.gif;*.jpg;*.jpeg");

void createDoorPictures(Form1& bus)
{
    const qreal ratio = bus.devicePixelRatioF();
    auto& leftLeaf = bus.imgNakaorido.add(0, std::make_unique<ImageElement>(&bus, twips::Rect { 5475, 795, 855, 2325 }, true));
    leftLeaf.setPicture(BusLayout::resourcePicture("A3L", ratio));
    auto& rightLeaf = bus.imgNakaorido.add(1, std::make_unique<ImageElement>(&bus, twips::Rect { 6330, 795, 855, 2325 }, true));
    rightLeaf.setPicture(BusLayout::resourcePicture("A3R", ratio));

    auto& hidden = bus.Image1.add(1, std::make_unique<ImageElement>(&bus, twips::Rect { 390, 795, 1155, 2265 }, true));
    hidden.setVisible(false);
    auto& frontDoor = bus.Image1.add(2, std::make_unique<ImageElement>(&bus, twips::Rect { 390, 795, 1155, 2265 }, true));
    frontDoor.setPicture(BusLayout::resourcePicture("A2", ratio));
}

} // namespace

Picture BusLayout::resourcePicture(const char* name, qreal devicePixelRatio)
{
    const QString resource = QString::fromLatin1(name);
    return Picture([resource](qreal ratio) { return Assets::bitmap(resource, ratio); }, devicePixelRatio);
}

void BusLayout::dressWindow(Form1& bus)
{
    bus.setObjectName("Form1");
    bus.setWindowTitle(Form1::tr("くるりん号　-　RX27A0022"));
    bus.setWindowIcon(Assets::programIcon());
    bus.setFixedSize(twips::toPixel(12105), twips::toPixel(3375));
}

ImageElement& BusLayout::createSignBox(Form1& bus)
{
    bus.Picture1 = new PictureBox(&bus, { 7485, 615, 780, 480 });
    bus.Picture1->setObjectName("Picture1");
    bus.ImgDesiMaku = &bus.Picture1->addImage({ 0, 0, 780, 480 }, false);
    return *bus.ImgDesiMaku;
}

void BusLayout::createElements(Form1& bus)
{
    bus.ImgDesiMaku->setPicture(resourcePicture("A4", bus.devicePixelRatioF()));

    bus.PicKanban = Signboard::makeBoard(bus);

    bus.File1.setPattern(kFilePattern);

    QWidget::setTabOrder(bus.Picture1, bus.PicKanban);
    bus.Picture1->setFocus();

    createDoorPictures(bus);
    Signboard::makeFrame(bus, bus.shpK_Waku);
}

std::vector<WindowlessElement*> BusLayout::stackingOrder(Form1& bus)
{
    return { &bus.imgNakaorido(0), &bus.imgNakaorido(1), &bus.Image1(2), &bus.Image1(1),
             &bus.shpK_Waku(0),    &bus.shpK_Waku(1),    &bus.shpK_Waku(2) };
}

void BusLayout::connectElements(Form1& bus)
{
    Form1* b = &bus;
    QObject::connect(b->Picture1, &PictureBox::Click, b, [b] { b->Picture1_Click(); });
    QObject::connect(b->Picture1, &PictureBox::ImageClick, b, [b] { b->ImgDesiMaku_Click(); });
    QObject::connect(b->Picture1, &PictureBox::KeyDown, b, [b](int key, int shift) { b->Picture1_KeyDown(key, shift); });
    QObject::connect(b->PicKanban, &PictureBox::MouseDown, b,
                     [b](int button, int shift, float x, float y) { b->PicKanban_MouseDown(button, shift, x, y); });
    QObject::connect(b->PicKanban, &PictureBox::DblClick, b, [b] { b->PicKanban_DblClick(); });
    QObject::connect(b->PicKanban, &PictureBox::Resize, b, [b] { b->PicKanban_Resize(); });
}

void BusLayout::createMenu(Form1& bus)
{
    Form1* b = &bus;
    b->MnuTempMenu1 = new QMenu(QStringLiteral("MnuTempMenu1"), b);
    b->MnuTempMenu1->setObjectName("MnuTempMenu1");
    b->MnuViewKanban = std::make_unique<MenuItem>(b->MnuTempMenu1, Form1::tr("看板の表示"), true);
    b->MnuViewWaku = std::make_unique<MenuItem>(b->MnuTempMenu1, Form1::tr("枠の表示"), true);
    b->MnuSetKanban = std::make_unique<MenuItem>(b->MnuTempMenu1, Form1::tr("看板の画像を設定..."), false);
    b->MnuBdr1 = b->MnuTempMenu1->addSeparator();
    b->MnuKanbanReset = std::make_unique<MenuItem>(b->MnuTempMenu1, Form1::tr("看板のリセット"), false);

    QObject::connect(b->MnuViewKanban->action(), &QAction::triggered, b, [b] { b->MnuViewKanban_Click(); });
    QObject::connect(b->MnuViewWaku->action(), &QAction::triggered, b, [b] { b->MnuViewWaku_Click(); });
    QObject::connect(b->MnuSetKanban->action(), &QAction::triggered, b, [b] { b->MnuSetKanban_Click(); });
    QObject::connect(b->MnuKanbanReset->action(), &QAction::triggered, b, [b] { b->MnuKanbanReset_Click(); });
}

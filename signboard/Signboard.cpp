#include "signboard/Signboard.h"

#include "geometry/Twips.h"
#include "platform/Platform.h"

#include <QCoreApplication>

#include <memory>

namespace {

const char* const kPictureFilter
    = QT_TRANSLATE_NOOP("Signboard", "画像ファイル (*.bmp *.jpeg *.jpg *.gif *.wmf *.emf *.png);;すべてのファイル (*)");
const QColor kFrameFill(224, 224, 224);
const QColor kFrameBorder(128, 128, 128);

} // namespace

PictureBox* Signboard::makeBoard(QWidget& bus)
{
    auto* board = new PictureBox(&bus, { 3225, 1545, 1410, 450 });
    board->setObjectName("PicKanban");
    board->setAutoSize(true);
    return board;
}

void Signboard::makeFrame(QWidget& bus, ControlArray<ShapeElement>& frame)
{
    auto bar = [&bus](twips::Rect rect) { return std::make_unique<ShapeElement>(&bus, rect, kFrameFill, kFrameBorder); };
    frame.add(0, bar({ 3150, 1530, SignboardFrame::kPostWidth, 495 }));
    frame.add(1, bar({ 4635, 1530, SignboardFrame::kPostWidth, 495 }));
    frame.add(2, bar({ 3150, 1995, 1560, 60 }));
}

Signboard::Signboard(PictureBox& board, ControlArray<ShapeElement>& frame)
    : m_board(board)
    , m_frame(frame)
    , m_animation(board, [&board](const Picture& shown) { board.showFrame(shown); })
{
}

void Signboard::place(const SignboardFrame::Placement& placement)
{
    m_frame(0).Move(placement.leftPost);
    m_frame(1).Move(placement.rightPost);
    m_frame(2).Move(placement.bottomBar);
}

void Signboard::fit()
{
    place(SignboardFrame::fit(m_board.twipsRect(), m_frame(0).Width(), m_frame(1).Width()));
}

void Signboard::followResize()
{
    place(SignboardFrame::followResize(m_board.twipsRect()));
}

void Signboard::setShown(bool shown)
{
    m_board.setVisible(shown);
}

void Signboard::setFrameShown(bool shown)
{
    for (int i = 0; i <= 2; ++i)
        m_frame(i).setVisible(shown);
    fit();
}

void Signboard::setPicture(Picture picture)
{
    m_board.setPicture(picture);
    m_animation.play(picture);
    fit();
}

void Signboard::placeAt(float left, float top)
{
    m_board.setLeft(left);
    m_board.setTop(top);
}

void Signboard::dragFrom(Platform& platform, QPoint grab)
{
    const QPoint before = m_board.pos();
    platform.DragWithMouse(&m_board, grab);
    // A press that moved nothing keeps the twips as they were: read back from whole pixels, a
    // place such as 3187 would become 3180.
    if (m_board.pos() != before)
        m_board.syncFromWidgetGeometry();
}

Result<QString> Signboard::choosePicture(Platform& platform, QWidget* owner)
{
    const QString name = platform.GetOpenFileName(owner, QCoreApplication::translate("Signboard", kPictureFilter));
    if (name.isEmpty())
        return Failure { Failure::Kind::Cancelled, {} };
    Result<Picture> load = platform.LoadPicture(name, QSize());
    if (!load.ok())
        return load.failure();
    setPicture(std::move(load).value());
    return name;
}

void Signboard::reset()
{
    m_animation.stop();
    m_board.setPicture(Picture());
    const twips::Rect place = SignboardFrame::kResetPlace;
    m_board.Move({ place.left, place.top, place.width, place.height });
    fit();
}

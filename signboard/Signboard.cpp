#include "signboard/Signboard.h"
#include "geometry/Twips.h"

Signboard::Signboard(PictureBox& board, ControlArray<ShapeElement>& frame)
    : m_board(board)
    , m_frame(frame)
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
    m_board.setPicture(std::move(picture));
    fit();
}

void Signboard::placeAt(float left, float top)
{
    m_board.setLeft(left);
    m_board.setTop(top);
}

void Signboard::reset()
{
    m_board.setPicture(Picture());
    const twips::Rect home = SignboardFrame::kHome;
    m_board.Move({ home.left, home.top, home.width, home.height });
    fit();
}

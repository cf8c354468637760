#pragma once

#include "elements/ControlArray.h"
#include "elements/PictureAnimator.h"
#include "elements/PictureBox.h"
#include "elements/ShapeElement.h"
#include "result/Result.h"
#include "signboard/SignboardFrame.h"

#include <QPoint>
#include <QString>

class Platform;
class QWidget;

// The signboard: the user's picture on the bus and the three bars of its frame, kept in step,
// the frame fitted again after every change.
class Signboard {
public:
    // The board, a child window of the bus at its first place. Child windows stack in the order
    // they are made, so the bus makes it after the sign box it must lie above.
    static PictureBox* makeBoard(QWidget& bus);
    // The frame's three bars, windowless elements on the bus: two posts and a bar beneath.
    static void makeFrame(QWidget& bus, ControlArray<ShapeElement>& frame);

    Signboard(PictureBox& board, ControlArray<ShapeElement>& frame);

    // Puts the frame's bars around the board: posts beside it, a bar beneath.
    void fit();
    // After the board changed size: the posts follow its edges and keep their heights.
    void followResize();

    void setShown(bool shown);
    void setFrameShown(bool shown);
    // An animated picture plays on the board until another picture, or none, replaces it.
    void setPicture(Picture picture);
    const PictureAnimator& animation() const { return m_animation; }

    float left() const { return m_board.Left(); }
    float top() const { return m_board.Top(); }
    void placeAt(float left, float top);
    // The board follows the mouse until the button is released, from the point it was grabbed
    // at (in pixels inside the board); the frame stays behind until the next fit.
    void dragFrom(Platform& platform, QPoint grab);

    // Asks for a picture file and shows it, giving the file's name. When no file was chosen
    // (Cancelled) or it could not be read, the signboard stays as it was.
    Result<QString> choosePicture(Platform& platform, QWidget* owner);

    // No picture, back at the place a reset puts it.
    void reset();

private:
    void place(const SignboardFrame::Placement& placement);

    PictureBox& m_board;
    ControlArray<ShapeElement>& m_frame;
    PictureAnimator m_animation;
};

#pragma once

#include "elements/ControlArray.h"
#include "elements/PictureBox.h"
#include "elements/ShapeElement.h"
#include "signboard/SignboardFrame.h"

// The signboard: the user's picture on the bus and the three bars of its frame. The bus window
// makes the elements; this keeps them in step, fitting the frame after every change.
class Signboard {
public:
    Signboard(PictureBox& board, ControlArray<ShapeElement>& frame);

    // Puts the frame's bars around the board: posts beside it, a bar beneath.
    void fit();
    // After the board changed size: the posts follow its edges and keep their heights.
    void followResize();

    void setShown(bool shown);
    void setFrameShown(bool shown);
    void setPicture(Picture picture);
    void placeAt(float left, float top);
    // No picture, back at its home place.
    void reset();

private:
    void place(const SignboardFrame::Placement& placement);

    PictureBox& m_board;
    ControlArray<ShapeElement>& m_frame;
};

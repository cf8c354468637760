#pragma once

#include "elements/WindowlessElement.h"
#include "geometry/Twips.h"
#include "picture/Picture.h"
#include "picture/Stretcher.h"

// An image: stretched to its element's size, or taking the size of each picture it is given.
class ImageElement final : public WindowlessElement {
public:
    ImageElement(QWidget* host, twips::Rect rect, bool stretch);

    const Picture& picture() const { return m_picture; }
    void setPicture(Picture picture);
    bool Stretch() const { return m_stretch; }

    void paint(QPainter& painter) const override;
    QRect footprint(const twips::Rect& rect, qreal dpr) const override;

private:
    Picture m_picture;
    bool m_stretch;
    // The stretched picture at the size it was last drawn, in device pixels: a door moves by a
    // fraction of a pixel per step, so most steps draw the same pixels again.
    mutable Stretcher m_stretcher;
};

#pragma once

#include "doors/DoorMotion.h"
#include "elements/ImageElement.h"
#include "elements/PictureAnimator.h"
#include "elements/RepaintBatch.h"
#include "picture/Picture.h"
#include "sign/DestinationSign.h"

#include <utility>

// The door and sign logic work on small interfaces; these put them onto the bus window's
// elements.

namespace Doors {

// A door picture on the bus window; every change shows on the screen at once.
class ElementLeaf final : public Leaf {
public:
    explicit ElementLeaf(ImageElement& element) : m_element(element) { }
    float Width() const override { return m_element.Width(); }
    void setWidth(float width) override { m_element.setWidth(width); }
    void setLeft(float left) override { m_element.setLeft(left); }

private:
    ImageElement& m_element;
};

// Each door step is painted in one go, before its pause; the pause also waits out the window
// system taking it.
class BatchDisplay final : public StepDisplay {
public:
    explicit BatchDisplay(QWidget* window) : m_batch(window) { }
    void showStep() override { m_batch.flush(); }
    void settle() override { m_batch.settle(); }

private:
    RepaintBatch m_batch;
};

} // namespace Doors

// The sign box on the bus window. An animated sign plays on in it until another sign replaces it.
class ElementSignFace final : public SignFace {
public:
    explicit ElementSignFace(ImageElement& element)
        : m_element(element)
        , m_animator(*element.host(), [&element](const Picture& frame) { element.setPicture(frame); })
    {
    }
    void showPicture(Picture picture) override
    {
        m_element.setPicture(picture);
        m_animator.play(picture);
    }
    const PictureAnimator& animator() const { return m_animator; }

private:
    ImageElement& m_element;
    PictureAnimator m_animator;
};

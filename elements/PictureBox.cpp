#include "elements/PictureBox.h"

#include "elements/InputCodes.h"
#include "elements/Outline.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

using elements_detail::outline;

PictureBox::PictureBox(QWidget* parent, twips::Rect rect)
    : QWidget(parent)
    , m_rect(rect)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(twips::toPixelGrid(m_rect));
}

void PictureBox::setLeft(float v)
{
    Move({ v, {}, {}, {} });
}

void PictureBox::setTop(float v)
{
    Move({ m_rect.left, v, {}, {} });
}

void PictureBox::Move(const MoveArgs& args)
{
    const twips::Rect before = m_rect;
    m_rect = args.appliedTo(m_rect);
    applyRect(before);
}

void PictureBox::applyRect(const twips::Rect& before)
{
    setGeometry(twips::toPixelGrid(m_rect));
    if (m_rect.width != before.width || m_rect.height != before.height)
        emit Resize();
}

void PictureBox::setPicture(Picture picture)
{
    m_picture = std::move(picture);
    if (m_autoSize && !m_picture.isEmpty()) {
        const twips::Rect before = m_rect;
        const QSize border(2, 2);
        m_rect.width = twips::fromPixels(m_picture.size().width() + border.width());
        m_rect.height = twips::fromPixels(m_picture.size().height() + border.height());
        applyRect(before);
    }
    update();
}

void PictureBox::showFrame(Picture frame)
{
    m_picture = std::move(frame);
    update();
}

ImageElement& PictureBox::addImage(twips::Rect rect, bool stretch)
{
    // Images inside a picture box are drawn by the box itself, offset by its border; the host is
    // the box so that a change repaints it.
    m_images.push_back(std::make_unique<ImageElement>(this, rect, stretch));
    return *m_images.back();
}

void PictureBox::syncFromWidgetGeometry()
{
    m_rect.left = twips::fromPixels(x());
    m_rect.top = twips::fromPixels(y());
}

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.save();
    painter.setClipRect(QRect(1, 1, width() - 2, height() - 2));
    m_picture.drawAt(painter, QPointF(1, 1));
    painter.translate(innerOrigin());
    // Stacking: the first element added lies on top, so paint in reverse.
    for (auto it = m_images.rbegin(); it != m_images.rend(); ++it)
        (*it)->paint(painter);
    painter.restore();
    outline(painter, rect(), QColor(0, 0, 0));
}

ImageElement* PictureBox::imageAt(QPointF pixel) const
{
    const QPointF inner = pixel - QPointF(innerOrigin());
    for (const auto& image : m_images) {
        if (image->hitTest(inner) && QRectF(innerOrigin(), size() - QSize(2, 2)).contains(pixel))
            return image.get();
    }
    return nullptr;
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    m_pressedImage = m_pressed ? imageAt(event->position()) : nullptr;
    const QPointF p = event->position();
    emit MouseDown(vbButton(event->button()), vbShift(event->modifiers()), float(p.x()) * twips::kPerPixel,
                   float(p.y()) * twips::kPerPixel);
    // A handler may have run its own loop until the button went up (a drag): no click follows.
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
        m_pressed = false;
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_pressed || event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    if (!rect().contains(event->position().toPoint()))
        return;
    ImageElement* image = imageAt(event->position());
    if (image && image == m_pressedImage)
        emit ImageClick(image);
    else if (!image && !m_pressedImage)
        emit Click();
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit DblClick();
}

void PictureBox::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(vbKeyCode(event), vbShift(event->modifiers()));
}

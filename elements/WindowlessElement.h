#pragma once

#include "geometry/MoveArgs.h"
#include "geometry/Twips.h"

#include <QRect>
#include <QRectF>

class QPainter;
class QWidget;

// An element with no window of its own: its container draws it beneath every child window.
class WindowlessElement {
public:
    explicit WindowlessElement(QWidget* host, twips::Rect rect);
    virtual ~WindowlessElement() = default;
    WindowlessElement(const WindowlessElement&) = delete;
    WindowlessElement& operator=(const WindowlessElement&) = delete;

    float Left() const { return m_rect.left; }
    float Top() const { return m_rect.top; }
    float Width() const { return m_rect.width; }
    float Height() const { return m_rect.height; }
    const twips::Rect& twipsRect() const { return m_rect; }
    bool Visible() const { return m_visible; }
    // The window, or picture box, that draws the element.
    QWidget* host() const { return m_host; }

    void setLeft(float v);
    void setTop(float v);
    void setWidth(float v);
    void Move(const MoveArgs& args);
    void setVisible(bool visible);

    // The area the element covers, in logical pixels of its container.
    QRectF pixelRect() const { return twips::toPixels(m_rect); }
    bool hitTest(QPointF pixel) const { return m_visible && pixelRect().contains(pixel); }

    virtual void paint(QPainter& painter) const = 0;

    // The device pixels the element covers when it stands at rect on a screen with the given
    // pixel ratio. Two placements with the same footprint draw the same pixels.
    virtual QRect footprint(const twips::Rect& rect, qreal dpr) const;

protected:
    void changed(const twips::Rect& before, bool wasVisible);
    // The next change repaints even if the element keeps its footprint (a new picture).
    void forceRepaint() { m_forceRepaint = true; }

private:
    QWidget* m_host;
    twips::Rect m_rect;
    bool m_visible { true };
    bool m_forceRepaint { false };
};

#pragma once

#include <QPointF>
#include <Qt>

#include <utility>
#include <vector>

class QPainter;
class WindowlessElement;

// The windowless elements of one window: kept in stacking order, painted by the window beneath
// its child windows, and given the mouse presses that land on them.
class WindowlessLayer {
public:
    // The elements in stacking order, the top one first.
    void setElements(std::vector<WindowlessElement*> topFirst) { m_elements = std::move(topFirst); }
    const std::vector<WindowlessElement*>& elements() const { return m_elements; }

    // The topmost visible element under the point, or none.
    WindowlessElement* elementAt(QPointF pixel) const;

    // Paints every element, the bottom one first, so that upper ones cover lower ones.
    void paint(QPainter& painter) const;

    // A press at the point. Returns the element that keeps it, or none when the window's own
    // surface takes it: a shape counts as that surface, a picture keeps its presses.
    WindowlessElement* press(QPointF pixel, Qt::MouseButton button);

    // A release at the point. Returns the element clicked: the one the left button went down
    // on, when the release is over it too; otherwise none.
    WindowlessElement* release(QPointF pixel, Qt::MouseButton button);

private:
    std::vector<WindowlessElement*> m_elements;
    WindowlessElement* m_pressed { nullptr };
};

#include "elements/WindowlessLayer.h"

#include "elements/ShapeElement.h"
#include "elements/WindowlessElement.h"

#include <utility>

WindowlessElement* WindowlessLayer::elementAt(QPointF pixel) const
{
    for (WindowlessElement* element : m_elements) {
        if (element->hitTest(pixel))
            return element;
    }
    return nullptr;
}

void WindowlessLayer::paint(QPainter& painter) const
{
    for (auto it = m_elements.rbegin(); it != m_elements.rend(); ++it)
        (*it)->paint(painter);
}

WindowlessElement* WindowlessLayer::press(QPointF pixel, Qt::MouseButton button)
{
    WindowlessElement* element = elementAt(pixel);
    const bool isShape = dynamic_cast<ShapeElement*>(element) != nullptr;
    if (element && !isShape) {
        // Only the left button can make a click; any other press forgets the one before.
        m_pressed = button == Qt::LeftButton ? element : nullptr;
        return element;
    }
    m_pressed = nullptr;
    return nullptr;
}

WindowlessElement* WindowlessLayer::release(QPointF pixel, Qt::MouseButton button)
{
    // Releasing another button leaves a left-button press waiting for its own release.
    if (button != Qt::LeftButton || !m_pressed)
        return nullptr;
    WindowlessElement* pressed = std::exchange(m_pressed, nullptr);
    if (elementAt(pixel) != pressed)
        return nullptr;
    return pressed;
}

#pragma once

#include "Picture.h"
#include "Stretcher.h"
#include "Twips.h"

#include <QAction>
#include <QColor>
#include <QRegion>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

class QMenu;

// A group of elements sharing one name, addressed by index: Image1(2), shpK_Waku(0).
template<typename T>
class ControlArray {
public:
    T& operator()(int index) const
    {
        auto it = m_items.find(index);
        if (it == m_items.end())
            throw std::out_of_range("no element at this index");
        return *it->second;
    }
    bool contains(int index) const { return m_items.contains(index); }
    T& add(int index, std::unique_ptr<T> item) { return *(m_items[index] = std::move(item)); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }
    std::size_t size() const { return m_items.size(); }

private:
    std::map<int, std::unique_ptr<T>> m_items;
};

// The same for child controls, which their parent window owns.
template<typename T>
class WidgetArray {
public:
    T* operator()(int index) const
    {
        auto it = m_items.find(index);
        if (it == m_items.end())
            throw std::out_of_range("no control at this index");
        return it->second;
    }
    void add(int index, T* widget) { m_items[index] = widget; }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }
    std::size_t size() const { return m_items.size(); }

private:
    std::map<int, T*> m_items;
};

// Move() sets Left, Top, Width and Height in one operation; a value left out keeps its own.
struct MoveArgs {
    float left;
    std::optional<float> top;
    std::optional<float> width;
    std::optional<float> height;

    twips::Rect appliedTo(const twips::Rect& r) const
    {
        return { left, top.value_or(r.top), width.value_or(r.width), height.value_or(r.height) };
    }
};

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

    void setLeft(float v);
    void setTop(float v);
    void setWidth(float v);
    void setHeight(float v);
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

// Holds back the repaints that element changes on one window ask for, and paints them as one:
// a door step changes up to three properties and must reach the screen once, not three times.
class RepaintBatch {
public:
    explicit RepaintBatch(QWidget* host);
    ~RepaintBatch();
    RepaintBatch(const RepaintBatch&) = delete;
    RepaintBatch& operator=(const RepaintBatch&) = delete;

    // Paints what was held back, now.
    void flush();

    // The batch open on this window, if any.
    static RepaintBatch* openOn(const QWidget* host);
    void hold(const QRegion& region) { m_region += region; }

private:
    QWidget* m_host;
    QRegion m_region;
    RepaintBatch* m_outer;
};

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

// A rectangle shape filled with one colour and outlined with another.
class ShapeElement final : public WindowlessElement {
public:
    ShapeElement(QWidget* host, twips::Rect rect, QColor fill, QColor border);

    void paint(QPainter& painter) const override;
    QRect footprint(const twips::Rect& rect, qreal dpr) const override;

private:
    QColor m_fill;
    QColor m_border;
};

// A picture box: a child window with a background colour, a flat one-pixel border, an optional
// picture and windowless elements of its own. It can take the keyboard focus.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(QWidget* parent, twips::Rect rect);

    float Left() const { return m_rect.left; }
    float Top() const { return m_rect.top; }
    float Width() const { return m_rect.width; }
    float Height() const { return m_rect.height; }
    const twips::Rect& twipsRect() const { return m_rect; }
    void setLeft(float v);
    void setTop(float v);
    void Move(const MoveArgs& args);

    const Picture& picture() const { return m_picture; }
    // With AutoSize on, the box takes the picture's size plus its border.
    void setPicture(Picture picture);
    void setAutoSize(bool on) { m_autoSize = on; }

    // Elements drawn inside the border, from its inner corner.
    ImageElement& addImage(twips::Rect rect, bool stretch);
    QPoint innerOrigin() const { return { 1, 1 }; }

    // The window system moved the box in pixels (a drag): the twips follow.
    void syncFromWidgetGeometry();

signals:
    void Click();
    void DblClick();
    void MouseDown(int button, int shift, float x, float y);
    void KeyDown(int keyCode, int shift);
    void Resize();
    void ImageClick(ImageElement* image);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyRect(const twips::Rect& before);
    ImageElement* imageAt(QPointF pixel) const;

    twips::Rect m_rect;
    Picture m_picture;
    bool m_autoSize { false };
    std::vector<std::unique_ptr<ImageElement>> m_images;
    ImageElement* m_pressedImage { nullptr };
    bool m_pressed { false };
};

// A frame with its caption set into the top edge of an etched border, holding other controls.
class CaptionFrame : public QWidget {
public:
    CaptionFrame(const QString& title, QWidget* parent);
    QString title() const { return m_title; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
};

// A popup menu item whose check mark is changed only by the program, never by Qt on its own.
class MenuItem {
public:
    MenuItem(QMenu* menu, const QString& caption, bool checked);

    bool Checked() const { return m_checked; }
    void setChecked(bool checked);
    QAction* action() const { return m_action; }
    QString Caption() const;

private:
    QAction* m_action;
    bool m_checked;
};

// Mouse buttons, shift state and key codes as the handlers take them: Windows' numbers.
int vbButton(Qt::MouseButton button);
int vbShift(Qt::KeyboardModifiers modifiers);
int vbKeyCode(const QKeyEvent* event);

// Leaves a window's title bar without an icon. A window given none would show the parent's, or
// the toolkit's generic one; a transparent icon is what window managers draw as nothing.
void clearWindowIcon(QWidget* window);

// Remembers an element's geometry in twips on an ordinary Qt control and places it in pixels.
void placeControl(QWidget* control, twips::Rect rect);
std::optional<twips::Rect> controlRect(const QWidget* control);

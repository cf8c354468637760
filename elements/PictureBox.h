#pragma once

#include "elements/ImageElement.h"
#include "geometry/MoveArgs.h"
#include "geometry/Twips.h"
#include "picture/Picture.h"

#include <QWidget>

#include <memory>
#include <vector>

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
    // The next frame of the picture shown, of its size: only the pixels change. A frame may come
    // while the box is being dragged, when its place in twips is not yet where it is.
    void showFrame(Picture frame);
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

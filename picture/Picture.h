#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>

#include <functional>
#include <memory>

class QPainter;

// What an animated picture needs beyond its first frame: the file's bytes, from which the later
// frames are decoded one at a time while it is shown, never all at once.
struct Animation {
    QByteArray bytes;
    // Frames are cut to the part the first frame was cut to; invalid: whole frames.
    QSize visibleSize;
    int firstDelayMs { 100 };
    // As QImageReader reports it: -1 forever, 0 when the file says nothing, otherwise the number
    // of times the frames are played again after the first time.
    int loopCount { 0 };
};

// A loaded picture: empty, or something with a size in pixels that can draw itself into a
// rectangle. Cheap to copy; the pixels are shared.
//
// Sizes are in logical pixels. A picture may be drawn afresh for each screen scale (the built-in
// artwork): it then shows a screen the drawing meant for that screen's pixel ratio instead of its
// 1x pixels enlarged.
class Picture {
public:
    // The drawing that serves a screen of the given pixel ratio, with the ratio it was drawn for
    // set on it: that ratio, or a larger one when there is no drawing for that ratio itself.
    using Renditions = std::function<QImage(qreal devicePixelRatio)>;

    Picture() = default;
    explicit Picture(QImage image);
    // Only the top-left part of a larger picture, as much as will ever be seen of it.
    Picture(QImage topLeft, QSize fullSize);
    // A picture drawn for each screen scale. Only the drawing for devicePixelRatio is made now;
    // another is asked of renditions when a screen of another ratio first shows the picture.
    Picture(Renditions renditions, qreal devicePixelRatio);
    // The same for a picture of which only the top-left part is ever drawn: fullSize is the
    // whole picture's size, the renditions draw the part.
    Picture(Renditions renditions, qreal devicePixelRatio, QSize fullSize);

    bool isEmpty() const { return m_image.isNull(); }
    // The picture's own size, even when only part of it was decoded.
    QSize size() const { return m_fullSize; }
    bool isPartial() const;
    // An animated picture is its first frame plus what the later frames are made from.
    bool isAnimated() const { return m_animation != nullptr; }
    const std::shared_ptr<const Animation>& animation() const { return m_animation; }
    void setAnimation(std::shared_ptr<const Animation> animation) { m_animation = std::move(animation); }
    // The pixels the picture was made with.
    const QImage& image() const { return m_image; }

    // The pixels that serve a screen of the given ratio best: a drawing for that ratio or a
    // larger one, or the picture's only pixels. Their own ratio says how they are meant to show.
    QImage sourceFor(qreal devicePixelRatio) const;
    // The pixels for a screen of the given ratio at exactly the picture's size there, with the
    // ratio set: a larger drawing is scaled down smoothly.
    QImage imageFor(qreal devicePixelRatio) const;

    // Draws the whole picture scaled into target (logical pixels, fractions allowed).
    void draw(QPainter& painter, const QRectF& target) const;
    // Draws the picture at its own size with its top-left corner at origin.
    void drawAt(QPainter& painter, QPointF origin) const;

private:
    // The drawing for the ratio shown last: a picture lives in one window, so one is enough.
    struct Shown {
        Renditions renditions;
        qreal ratio { 0 };
        QImage source;
        QImage fitted;
    };

    QImage m_image;
    QSize m_fullSize;
    std::shared_ptr<Shown> m_shown;
    std::shared_ptr<const Animation> m_animation;
};

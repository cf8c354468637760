#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

class QPainter;

// A loaded picture: empty, or something with a size in pixels that can draw itself into a
// rectangle. Cheap to copy; the pixels are shared.
class Picture {
public:
    Picture() = default;
    explicit Picture(QImage image);
    // Only the top-left part of a larger picture, as much as will ever be seen of it.
    Picture(QImage topLeft, QSize fullSize);

    bool isEmpty() const { return m_image.isNull(); }
    // The picture's own size, even when only part of it was decoded.
    QSize size() const { return m_fullSize; }
    bool isPartial() const { return m_fullSize != m_image.size(); }
    const QImage& image() const { return m_image; }

    // Draws the whole picture scaled into target (logical pixels, fractions allowed).
    void draw(QPainter& painter, const QRectF& target) const;
    // Draws the picture at its own size with its top-left corner at origin.
    void drawAt(QPainter& painter, QPointF origin) const;

private:
    QImage m_image;
    QSize m_fullSize;
};

enum class PictureError {
    None,
    NotFound,     // no such file
    IsFolder,     // the name is a folder
    NotReadable,  // permission denied or I/O error
    NotAPicture,  // a file, but nothing we can decode
    TooLarge,     // a header that claims an absurd size
};

struct PictureLoad {
    Picture picture;
    PictureError error { PictureError::None };

    bool ok() const { return error == PictureError::None; }
};

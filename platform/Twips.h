#pragma once

#include <QRect>
#include <QRectF>

// The design states every position and size in twips (1/1440 inch). The model keeps them that
// way, as single-precision numbers; this is the one place where they become pixels.
namespace twips {

inline constexpr float kPerPixel = 15.0f;

struct Rect {
    float left { 0 };
    float top { 0 };
    float width { 0 };
    float height { 0 };

    float right() const { return left + width; }
    float bottom() const { return top + height; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Exact logical-pixel rectangle, fractions kept, for drawing stretched pictures.
QRectF toPixels(const Rect& r);
// Whole logical pixels, for placing child windows.
QRect toPixelGrid(const Rect& r);
int toPixel(float twipValue);
float fromPixels(int pixels);

} // namespace twips

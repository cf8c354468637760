#pragma once

#include <QRect>
#include <QRectF>

// Every position and size is kept in twips (1/1440 inch), as single-precision numbers, so the
// layout and the settings file agree to the twip; this is the one place where they become pixels.
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

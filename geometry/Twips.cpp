#include "geometry/Twips.h"

#include <cmath>

namespace twips {

QRectF toPixels(const Rect& r)
{
    return { r.left / kPerPixel, r.top / kPerPixel, r.width / kPerPixel, r.height / kPerPixel };
}

int toPixel(float twipValue)
{
    return static_cast<int>(std::lround(twipValue / kPerPixel));
}

QRect toPixelGrid(const Rect& r)
{
    // Edges are rounded, not the size, so neighbours that touch in twips touch in pixels.
    const int x0 = toPixel(r.left);
    const int y0 = toPixel(r.top);
    return { x0, y0, toPixel(r.left + r.width) - x0, toPixel(r.top + r.height) - y0 };
}

float fromPixels(int pixels)
{
    return static_cast<float>(pixels) * kPerPixel;
}

} // namespace twips

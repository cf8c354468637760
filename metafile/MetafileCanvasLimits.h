#pragma once

// What keeps the canvas bounded whatever a file asks of it: how far from the picture anything
// may lie, and what each kind of drawing costs the work budget. Shared by the canvas's own files
// only; the players see just MetafileCanvas::exhausted().

#include <QRectF>
#include <QTransform>

#include <cmath>

namespace metafile::canvas {

// Beyond this distance from the picture (in its pixels) a shape is taken for garbage: Qt's
// rasterizer works in fixed point, and clip art never reaches there.
inline constexpr double kFar = 4.0 * 1024 * 1024;

// The work budget, in units of about a nanosecond of Qt's time (see MetafileCanvas::Work): a
// second or so for any picture, or 32 coats of a large picture if that is more.
inline constexpr qint64 kMinBudget = 1LL << 30;
inline constexpr qint64 kCostPerCall = 1024;
inline constexpr qint64 kCostPerCharacter = 4096;
inline constexpr qint64 kCostPerPathCharacter = 4096; // glyph outlines are laid out one by one
inline constexpr qint64 kCostPerClipElement = 4096;   // boolean operations on paths

inline bool finite(const QTransform& t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22())
        && std::isfinite(t.dx()) && std::isfinite(t.dy()) && std::isfinite(t.m13()) && std::isfinite(t.m23())
        && std::isfinite(t.m33());
}

// A transform that can be drawn through and inverted.
inline bool usable(const QTransform& t)
{
    return finite(t) && t.isAffine() && std::abs(t.determinant()) > 1e-12;
}

inline bool sane(const QRectF& r)
{
    return std::isfinite(r.left()) && std::isfinite(r.top()) && std::isfinite(r.right()) && std::isfinite(r.bottom())
        && std::abs(r.left()) < kFar && std::abs(r.right()) < kFar && std::abs(r.top()) < kFar
        && std::abs(r.bottom()) < kFar;
}

} // namespace metafile::canvas

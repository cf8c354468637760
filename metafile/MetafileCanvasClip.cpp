#include "metafile/MetafileCanvas.h"

#include "metafile/MetafileCanvasLimits.h"

namespace metafile {

using namespace canvas;

namespace {

constexpr int kMaxClipElements = 1 << 14;

// Whether a path is one rectangle with its sides along the axes, as clip rectangles are after
// any mapping that only scales and moves.
bool isAxisRect(const QPainterPath& path, QRectF* rect)
{
    if (path.elementCount() != 5 || !path.elementAt(0).isMoveTo())
        return false;
    for (int i = 1; i < 5; ++i) {
        const QPainterPath::Element a = path.elementAt(i - 1);
        const QPainterPath::Element b = path.elementAt(i);
        if (!b.isLineTo() || (a.x != b.x && a.y != b.y))
            return false;
    }
    if (QPointF(path.elementAt(0)) != QPointF(path.elementAt(4)))
        return false;
    *rect = path.boundingRect();
    return true;
}

} // namespace

void MetafileCanvas::setClip(std::optional<QPainterPath> clip)
{
    if (clip && !sane(clip->controlPointRect()))
        clip = rectPath(QRectF()); // nothing sensible is visible
    m_s.clip = std::move(clip);
    m_clipDirty = true;
}

void MetafileCanvas::combineClip(const QPainterPath& path, gdi::RegionMode mode)
{
    if (mode == gdi::RegionMode::Copy) {
        setClip(path);
        return;
    }
    const QPainterPath current = m_s.clip ? *m_s.clip : rectPath(m_visible.adjusted(-1, -1, 1, 1));
    // Boolean operations on paths grow quickly with their size; a clip beyond this is
    // not clip art, and is left as it was.
    if (current.elementCount() + path.elementCount() > kMaxClipElements)
        return;
    m_budget -= kCostPerClipElement * (current.elementCount() + path.elementCount());
    if (exhausted())
        return;
    QPainterPath clip;
    switch (mode) {
    case gdi::RegionMode::And: {
        // Rectangles within rectangles are the common case, and need no path clipping at all.
        QRectF a;
        QRectF b;
        if (isAxisRect(current, &a) && isAxisRect(path, &b))
            clip = rectPath(a.intersected(b));
        else
            clip = current.intersected(path);
        break;
    }
    case gdi::RegionMode::Or: clip = current.united(path); break;
    case gdi::RegionMode::Xor: clip = current.subtracted(path).united(path.subtracted(current)); break;
    case gdi::RegionMode::Diff: clip = current.subtracted(path); break;
    default: return;
    }
    setClip(clip);
}

void MetafileCanvas::intersectClipRect(const QRectF& rect)
{
    const QTransform& t = full();
    if (usable(t))
        combineClip(t.map(rectPath(rect.normalized())), gdi::RegionMode::And);
}

void MetafileCanvas::excludeClipRect(const QRectF& rect)
{
    const QTransform& t = full();
    if (usable(t))
        combineClip(t.map(rectPath(rect.normalized())), gdi::RegionMode::Diff);
}

void MetafileCanvas::offsetClip(QPointF d)
{
    if (!m_s.clip)
        return;
    const QTransform& t = full();
    const QPointF shift = t.map(d) - t.map(QPointF(0, 0));
    QPainterPath moved = *m_s.clip;
    moved.translate(shift);
    setClip(moved);
}

void MetafileCanvas::selectClipRegion(const std::optional<QPainterPath>& deviceRegion, gdi::RegionMode mode)
{
    if (!deviceRegion) {
        if (mode == gdi::RegionMode::Copy)
            setClip(std::nullopt);
        return;
    }
    combineClip(m_deviceToPicture.map(*deviceRegion), mode);
}

void MetafileCanvas::setMetaRegion()
{
    if (!m_s.clip)
        return;
    if (m_s.meta) {
        const int elements = m_s.meta->elementCount() + m_s.clip->elementCount();
        m_budget -= kCostPerClipElement * elements;
        if (elements > kMaxClipElements || exhausted())
            return;
    }
    m_s.meta = m_s.meta ? m_s.meta->intersected(*m_s.clip) : *m_s.clip;
    setClip(std::nullopt);
}

void MetafileCanvas::selectClipPath(gdi::RegionMode mode)
{
    if (const std::optional<QPainterPath> path = takeFinishedPath())
        combineClip(*path, mode);
}

void MetafileCanvas::applyClip()
{
    if (!m_clipDirty)
        return;
    m_clipDirty = false;
    const auto orNull = [](const std::optional<QPainterPath>& path) { return path ? &*path : nullptr; };
    clipPainterTo({ orNull(m_outerClip), orNull(m_s.meta), orNull(m_s.clip) });
}

void MetafileCanvas::applyPlusClip(const QList<QPainterPath>& clips)
{
    m_clipDirty = true; // GDI's clip is set again before GDI draws
    // Clipping to a path costs Qt as much as filling it, so the same clips (the same shared
    // paths, as a run of GDI+ drawings under one clip hands them over) are not set again.
    if (m_plusClips && *m_plusClips == clips)
        return;
    clipPainterTo({ m_outerClip ? &*m_outerClip : nullptr });
    for (const QPainterPath& clip : clips) {
        m_budget -= kCostPerClipElement * clip.elementCount();
        m_painter.setClipPath(clip, m_painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    m_plusClips = clips;
}

// The painter's clip becomes the area inside all of paths (null ones left out).
void MetafileCanvas::clipPainterTo(std::initializer_list<const QPainterPath*> paths)
{
    m_plusClips.reset();
    m_painter.setTransform(m_base);
    m_painter.setClipping(false);
    for (const QPainterPath* path : paths) {
        if (path)
            m_painter.setClipPath(*path, m_painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    }
}

void MetafileCanvas::fillRegion(const QPainterPath& logical, const GdiBrush& brush)
{
    const GdiBrush selected = m_s.brush;
    m_s.brush = brush;
    draw(logical, true, false);
    m_s.brush = selected;
}

void MetafileCanvas::frameRegion(const QPainterPath& logical, const GdiBrush& brush, double width, double height)
{
    // What stays of the region when it is moved by the border's size each way is its inside;
    // the rest is the border.
    if (!std::isfinite(width) || !std::isfinite(height))
        return;
    const double w = std::abs(width);
    const double h = std::abs(height);
    // Four boolean operations on the region: bounded and paid for as the clip's are.
    if (logical.elementCount() > kMaxClipElements / 4)
        return;
    m_budget -= kCostPerClipElement * 4 * logical.elementCount();
    if (exhausted())
        return;
    QPainterPath inside = logical;
    for (const QPointF shift : { QPointF(w, 0), QPointF(-w, 0), QPointF(0, h), QPointF(0, -h) })
        inside = inside.intersected(logical.translated(shift));
    fillRegion(logical.subtracted(inside), brush);
}

void MetafileCanvas::invertRegion(const QPainterPath& logical)
{
    const QTransform& t = full();
    if (m_pathOpen || !usable(t) || !charge(t.mapRect(logical.boundingRect())))
        return;
    applyClip();
    m_painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    m_painter.setTransform(t * m_base);
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(Qt::white);
    m_painter.drawPath(logical);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

} // namespace metafile

#include "metafile/EmfPlusPlayer.h"

#include "metafile/EmfPlusGeometry.h"
#include "metafile/MetafileCanvas.h"
#include "metafile/MetafilePlayers.h"

#include <algorithm>

namespace metafile {

using namespace gdiplus;
using namespace emfplus;

namespace {

constexpr qint64 kMaxObjectBytes = 64LL * 1024 * 1024;
// The last piece of an object may be padded out to whole 32-bit words.
constexpr qint64 kMaxPiecePadding = 3;
constexpr std::size_t kMaxSaved = 256;
constexpr qsizetype kMaxNestedClips = 16;
constexpr qint64 kCostPerClipElement = 4096; // boolean operations on paths
constexpr double kClipReach = 1 << 20;       // picture pixels beyond what can be seen
constexpr qint64 kCostPerRecord = 64;        // every record costs something, drawn or not
constexpr qint64 kCostPerRegionByte = 64;
// An embedded picture's records are walked through before each drawing of it (its layout, and
// whether its GDI+ records can draw it), so a file cannot draw a large one over and over for free.
constexpr qint64 kCostPerEmbeddedByte = 2;

// Whether a picture of so many pixels may be decoded: its decoding is paid for, and all the
// pictures a file holds at once are limited together, so a file cannot pile them up.
bool affordPixels(MetafileCanvas& canvas, qint64 pixels)
{
    canvas.countDecodedPixels(pixels * 32);
    return !canvas.exhausted() && canvas.allowHeldBitmap(pixels);
}

} // namespace

EmfPlusPlayer::EmfPlusPlayer(MetafileCanvas& canvas)
    : m_canvas(canvas)
{
}

EmfPlusPlayer::~EmfPlusPlayer() = default;

void EmfPlusPlayer::play(Bytes records)
{
    qint64 at = 0;
    m_handsToGdi = false;
    while (m_mode != Mode::Ignore && !m_canvas.exhausted()) {
        const std::optional<Record> r = readRecord(records, at).record;
        if (!r)
            break;
        m_canvas.countDecodedPixels(kCostPerRecord);
        m_handsToGdi = r->recordType() == RecordType::GetDC && m_mode == Mode::Draw;
        if (r->objectTotal)
            objectPiece(r->flags, *r->objectTotal, r->data);
        else
            record(*r);
        at += r->size;
    }
    // The GDI records a GetDC hands over are drawn the way the GDI+ drawing around them is.
    m_canvas.setSmoothGdi(m_handsToGdi && m_s.antialias);
}

void EmfPlusPlayer::record(const Record& r)
{
    // Before the header, and in a picture drawn from its GDI records, only the header counts.
    if (r.recordType() != RecordType::Header && m_mode != Mode::Draw)
        return;
    visit(r, [this](const auto& read) { apply(read); });
}

void EmfPlusPlayer::apply(const Header& h)
{
    if (m_mode != Mode::Unknown)
        return;
    m_mode = h.dual && !m_drawDual ? Mode::Ignore : Mode::Draw;
    const double dpiX = h.dpiX;
    const double dpiY = h.dpiY;
    if (dpiX >= 10 && dpiX <= 10000 && dpiY >= 10 && dpiY <= 10000) {
        m_dpiX = dpiX;
        m_dpiY = dpiY;
    }
}

void EmfPlusPlayer::apply(const ObjectRecord& r)
{
    const int kind = int(r.objectType);
    if (m_pendingId == r.id && m_pendingKind == kind && !m_pending.isEmpty()) {
        // The last piece of an object that came in pieces.
        const qint64 room = m_pendingTotal - m_pending.size();
        if (r.data.size() >= room && r.data.size() <= room + kMaxPiecePadding) {
            m_pending.append(r.data.view().data(), room);
            const QByteArray whole = std::exchange(m_pending, {});
            m_pendingId = -1;
            defineObject(r.id, r.objectType, Bytes(whole));
            return;
        }
    }
    m_pending.clear();
    m_pendingId = -1;
    defineObject(r.id, r.objectType, r.data);
}

void EmfPlusPlayer::objectPiece(quint16 flags, qint64 total, Bytes d)
{
    const int id = objectId(flags);
    const int kind = objectTypeBits(flags);
    if (m_pendingId != id || m_pendingKind != kind || m_pendingTotal != total) {
        m_pending.clear();
        m_pendingId = id;
        m_pendingKind = kind;
        m_pendingTotal = total;
    }
    const qint64 room = total - m_pending.size();
    if (total > kMaxObjectBytes || d.size() > room + kMaxPiecePadding) {
        m_pending.clear();
        m_pendingId = -1;
        return;
    }
    m_canvas.countDecodedPixels(d.size());
    m_pending.append(d.view().data(), std::min(room, d.size()));
    // Some writers mark the last piece as continued too: the size says when it is whole.
    if (m_pending.size() == total) {
        const QByteArray whole = std::exchange(m_pending, {});
        m_pendingId = -1;
        defineObject(id, ObjectType(kind), Bytes(whole));
    }
}

void EmfPlusPlayer::defineObject(int id, ObjectType type, Bytes d)
{
    if (id < 0 || id >= int(m_objects.size()))
        return;
    Object o = object(type, d, [this](qint64 pixels) { return affordPixels(m_canvas, pixels); });
    if (type == ObjectType::Region)
        m_canvas.countDecodedPixels(d.size() * kCostPerRegionByte + o.regionElements * kCostPerClipElement);
    m_objects[std::size_t(id)] = std::move(o);
}

const EmfPlusPlayer::Object* EmfPlusPlayer::objectAt(int id, Object::Kind kind) const
{
    if (id < 0 || id >= int(m_objects.size()) || m_objects[std::size_t(id)].kind != kind)
        return nullptr;
    return &m_objects[std::size_t(id)];
}

std::optional<EmfPlusPlayer::Paint> EmfPlusPlayer::paintFor(const BrushRef& brush) const
{
    if (brush.isColour)
        return Paint { QBrush(argb(brush.value)), std::nullopt };
    if (const Object* o = objectAt(int(brush.value), Object::Kind::Brush))
        return o->paint;
    return std::nullopt;
}

void EmfPlusPlayer::apply(const Clear& r)
{
    m_canvas.plusClear(argb(r.colour), clips());
}

void EmfPlusPlayer::apply(const FillRects& r)
{
    if (const std::optional<Paint> brush = paintFor(r.brush))
        fill(rectsPath(r.rects.data, r.rects.count, r.rects.compressed, false), *brush);
}

void EmfPlusPlayer::apply(const DrawRects& r)
{
    stroke(rectsPath(r.rects.data, r.rects.count, r.rects.compressed, false), r.pen);
}

void EmfPlusPlayer::apply(const FillPolygon& r)
{
    if (const std::optional<Paint> brush = paintFor(r.brush))
        fill(polygonPath(r.points.read(), true), *brush);
}

void EmfPlusPlayer::apply(const DrawLines& r)
{
    stroke(polygonPath(r.points.read(), r.closed), r.pen);
}

namespace {

QPainterPath ellipsePath(const QRectF& box)
{
    QPainterPath path;
    if (sensibleRect(box))
        path.addEllipse(box);
    return path;
}

} // namespace

void EmfPlusPlayer::apply(const FillEllipse& r)
{
    if (const std::optional<Paint> brush = paintFor(r.brush))
        fill(ellipsePath(r.box), *brush);
}

void EmfPlusPlayer::apply(const DrawEllipse& r)
{
    stroke(ellipsePath(r.box), r.pen);
}

void EmfPlusPlayer::apply(const FillPie& r)
{
    if (const std::optional<Paint> brush = paintFor(r.brush))
        fill(arcPath(r.box, r.startAngle, r.sweepAngle, true), *brush);
}

void EmfPlusPlayer::apply(const DrawArc& r)
{
    stroke(arcPath(r.box, r.startAngle, r.sweepAngle, r.pie), r.pen);
}

void EmfPlusPlayer::apply(const FillShape& r)
{
    const std::optional<Paint> brush = paintFor(r.brush);
    const Object* shape = objectAt(r.shape, r.region ? Object::Kind::Region : Object::Kind::Path);
    if (brush && shape)
        fill(shape->path, *brush);
}

void EmfPlusPlayer::apply(const DrawPath& r)
{
    if (const Object* path = objectAt(r.path, Object::Kind::Path))
        stroke(path->path, int(r.pen));
}

void EmfPlusPlayer::apply(const FillClosedCurve& r)
{
    if (const std::optional<Paint> brush = paintFor(r.brush)) {
        QPainterPath path = curve(r.points.read(), r.tension, true);
        path.setFillRule(r.winding ? Qt::WindingFill : Qt::OddEvenFill);
        fill(path, *brush);
    }
}

void EmfPlusPlayer::apply(const DrawClosedCurve& r)
{
    stroke(curve(r.points.read(), r.tension, true), r.pen);
}

void EmfPlusPlayer::apply(const DrawCurve& r)
{
    const QList<QPointF> pts = r.points.read();
    if (r.offset < 0 || r.segments < 1 || r.offset + r.segments > pts.size() - 1)
        return;
    // The whole curve is shaped by all the points; only the segments asked for are drawn.
    const QPainterPath whole = curve(pts, r.tension, false);
    QPainterPath part;
    for (qint64 i = r.offset; i < r.offset + r.segments && 1 + 3 * i + 2 < whole.elementCount(); ++i) {
        const qint64 e = 1 + 3 * i;
        if (part.elementCount() == 0)
            part.moveTo(whole.elementAt(int(e - 1)));
        part.cubicTo(whole.elementAt(int(e)), whole.elementAt(int(e + 1)), whole.elementAt(int(e + 2)));
    }
    stroke(part, r.pen);
}

void EmfPlusPlayer::apply(const DrawBeziers& r)
{
    stroke(bezierPath(r.points.read()), r.pen);
}

void EmfPlusPlayer::apply(const DrawImage& r)
{
    if (sensibleRect(r.dest))
        image(r.image, r.source, { r.dest.topLeft(), r.dest.topRight(), r.dest.bottomLeft() });
}

void EmfPlusPlayer::apply(const DrawImagePoints& r)
{
    const QList<QPointF> corners = r.corners.read();
    if (corners.size() == 3)
        image(r.image, r.source, { corners[0], corners[1], corners[2] });
}

void EmfPlusPlayer::apply(const DrawString& r)
{
    const Object* font = objectAt(r.font, Object::Kind::Font);
    const std::optional<Paint> brush = paintFor(r.brush);
    if (!font || !brush)
        return;
    const Object* format = objectAt(int(r.format), Object::Kind::Format);
    text(r.text, font->font, *brush, r.layout, format ? format->format : Format {});
}

void EmfPlusPlayer::apply(const SetAntiAliasMode& r)
{
    m_s.antialias = r.antialias;
}

void EmfPlusPlayer::apply(const SetInterpolationMode& r)
{
    m_s.smoothImages = InterpolationMode(r.mode) != InterpolationMode::NearestNeighbor;
}

void EmfPlusPlayer::apply(const Save& r)
{
    saveState(r.index);
}

void EmfPlusPlayer::apply(const Restore& r)
{
    restoreState(r.index);
}

void EmfPlusPlayer::apply(const BeginContainer& r)
{
    // The source rectangle, in the unit the flags name, onto the destination, which is in world
    // units; the page transform still follows, so the unit is taken in its terms.
    const double unit = unitToDevice(r.unit) / (unitToDevice(m_s.pageUnit) * m_s.pageScale);
    const QRectF& dest = r.dest;
    const QRectF& source = r.source;
    QTransform fit;
    if (sensibleRect(dest) && sensibleRect(source) && source.width() != 0 && source.height() != 0 && finite(unit)) {
        const double sx = dest.width() / (source.width() * unit);
        const double sy = dest.height() / (source.height() * unit);
        fit = QTransform(sx, 0, 0, sy, dest.x() - source.x() * unit * sx, dest.y() - source.y() * unit * sy);
    }
    beginContainer(r.index, finiteTransform(fit) ? fit : QTransform());
}

void EmfPlusPlayer::apply(const BeginContainerNoParams& r)
{
    beginContainer(r.index, QTransform());
}

void EmfPlusPlayer::apply(const SetWorldTransform& r)
{
    if (finiteTransform(r.matrix))
        m_s.world = r.matrix;
}

void EmfPlusPlayer::apply(const ResetWorldTransform&)
{
    m_s.world = QTransform();
}

void EmfPlusPlayer::apply(const ChangeWorldTransform& r)
{
    if (!finiteTransform(r.change))
        return;
    const QTransform next = r.append ? m_s.world * r.change : r.change * m_s.world;
    if (finiteTransform(next))
        m_s.world = next;
}

void EmfPlusPlayer::apply(const SetPageTransform& r)
{
    if (finite(r.scale) && r.scale > 0) {
        m_s.pageUnit = r.unit;
        m_s.pageScale = r.scale;
    }
}

void EmfPlusPlayer::apply(const ResetClip&)
{
    m_s.clip.reset();
}

void EmfPlusPlayer::apply(const SetClipRect& r)
{
    if (!sensibleRect(r.rect))
        return;
    QPainterPath path;
    path.addRect(r.rect);
    combineClip(toPicture().map(path), r.mode);
}

void EmfPlusPlayer::apply(const SetClipShape& r)
{
    if (const Object* shape = objectAt(r.shape, r.region ? Object::Kind::Region : Object::Kind::Path))
        combineClip(toPicture().map(shape->path), r.mode);
}

void EmfPlusPlayer::apply(const OffsetClip& r)
{
    if (!m_s.clip || !finite(r.dx) || !finite(r.dy))
        return;
    const QTransform t = toPicture();
    const QPointF shift = t.map(QPointF(r.dx, r.dy)) - t.map(QPointF(0, 0));
    m_s.clip->translate(shift);
}

double EmfPlusPlayer::unitToDevice(Unit unit) const
{
    const double dpi = (m_dpiX + m_dpiY) / 2;
    switch (unit) {
    case Unit::Point: return dpi / 72;
    case Unit::Inch: return dpi;
    case Unit::Document: return dpi / 300;
    case Unit::Millimeter: return dpi / 25.4;
    default: return 1; // world, display and pixels
    }
}

QTransform EmfPlusPlayer::toPicture() const
{
    const double page = unitToDevice(m_s.pageUnit) * m_s.pageScale;
    return m_s.world * m_s.container * QTransform::fromScale(page, page) * m_canvas.deviceToPicture();
}

void EmfPlusPlayer::fill(const QPainterPath& world, const Paint& paint)
{
    if (world.isEmpty())
        return;
    const QTransform t = toPicture();
    if (!finiteTransform(t))
        return;
    const QPainterPath picture = t.map(world);
    if (paint.back)
        m_canvas.plusPath(picture, Qt::NoPen, QBrush(*paint.back), clips(), m_s.antialias);
    QBrush placed = paint.brush;
    if (placed.gradient() || placed.style() == Qt::TexturePattern)
        placed.setTransform(placed.transform() * t);
    m_canvas.plusPath(picture, Qt::NoPen, placed, clips(), m_s.antialias);
}

void EmfPlusPlayer::stroke(const QPainterPath& world, int penId)
{
    const Object* o = objectAt(penId, Object::Kind::Pen);
    if (!o || world.isEmpty())
        return;
    const QTransform t = toPicture();
    if (!finiteTransform(t))
        return;
    // A width in world units grows with the transforms; one in a page unit only with the
    // picture's own scale. Less than a pixel is drawn a pixel wide.
    const double width = o->pen.unit == Unit::World
        ? o->pen.width * lengthScale(t)
        : o->pen.width * unitToDevice(o->pen.unit) * lengthScale(m_canvas.deviceToPicture());
    if (!finite(width))
        return;
    QPen pen = o->pen.pen;
    pen.setWidthF(std::max(1.0, width));
    QBrush brush = o->pen.brush;
    if (brush.gradient() || brush.style() == Qt::TexturePattern)
        brush.setTransform(brush.transform() * t);
    pen.setBrush(brush);
    m_canvas.plusPath(t.map(world), pen, Qt::NoBrush, clips(), m_s.antialias);
}

void EmfPlusPlayer::image(int id, const QRectF& source, const std::array<QPointF, 3>& corners)
{
    const Object* o = objectAt(id, Object::Kind::Image);
    if (!o || !sensibleRect(source) || source.width() == 0 || source.height() == 0)
        return;
    for (const QPointF& p : corners) {
        if (!finite(p.x()) || !finite(p.y()))
            return;
    }
    const QPointF across = (corners[1] - corners[0]) / source.width();
    const QPointF down = (corners[2] - corners[0]) / source.height();
    const QTransform sourceToWorld(across.x(), across.y(), down.x(), down.y(),
                                   corners[0].x() - source.x() * across.x() - source.y() * down.x(),
                                   corners[0].y() - source.x() * across.y() - source.y() * down.y());
    const QTransform t = sourceToWorld * toPicture();
    if (!finiteTransform(t))
        return;
    if (!o->picture.isEmpty()) {
        picture(o->picture, source, t);
        return;
    }
    const QRect part = source.normalized().toAlignedRect().intersected(o->image.rect());
    m_canvas.plusImage(t, o->image, part, clips(), m_s.smoothImages);
}

// An EMF inside the picture, its source rectangle in the EMF's own pixels. It is drawn one level
// deep: a picture inside it that is a metafile again is passed over.
void EmfPlusPlayer::picture(const QByteArray& file, const QRectF& source, const QTransform& toPicture)
{
    if (m_canvas.nested())
        return;
    m_canvas.countDecodedPixels(file.size() * kCostPerEmbeddedByte);
    if (m_canvas.exhausted())
        return;
    const Layout layout = scanEmf(Bytes(file));
    if (layout.problem != Metafile::Problem::None)
        return;
    const QTransform deviceToPicture = QTransform::fromTranslate(-layout.frame.left(), -layout.frame.top())
        * QTransform::fromScale(layout.size.width() / layout.frame.width(), layout.size.height() / layout.frame.height());
    const QRectF part = source.normalized().intersected(QRectF(QPointF(0, 0), QSizeF(layout.size)));
    m_canvas.plusPicture(toPicture, part, clips(), { layout.size, deviceToPicture, layout.pixelsPerMm },
                         [&layout](MetafileCanvas& inner) { playEmf(layout, inner); });
}

void EmfPlusPlayer::combineClip(const QPainterPath& picture, CombineMode mode)
{
    if (mode == CombineMode::Replace) {
        m_s.clip = withinReach(picture);
        return;
    }
    if (!m_s.clip) {
        // No clip is everything: intersecting gives the new area, uniting leaves everything.
        if (mode == CombineMode::Intersect)
            m_s.clip = withinReach(picture);
        if (mode == CombineMode::Intersect || mode == CombineMode::Union)
            return;
    }
    const QPainterPath current = m_s.clip ? *m_s.clip : rectPath(m_canvas.visible().adjusted(-1, -1, 1, 1));
    const qint64 elements = qint64(current.elementCount()) + picture.elementCount();
    m_canvas.countDecodedPixels(elements * kCostPerClipElement);
    if (elements > kMaxClipElements)
        return;
    switch (mode) {
    case CombineMode::Intersect: m_s.clip = current.intersected(picture); break;
    case CombineMode::Union: m_s.clip = current.united(picture); break;
    case CombineMode::Xor: m_s.clip = current.united(picture).subtracted(current.intersected(picture)); break;
    case CombineMode::Exclude: m_s.clip = current.subtracted(picture); break;
    case CombineMode::Complement: m_s.clip = picture.subtracted(current); break;
    default: break;
    }
}

// A clip reaching far beyond the picture (an infinite region, say, under a large transform) is
// cut down to what can be seen: Qt's clipping loses such coordinates.
QPainterPath EmfPlusPlayer::withinReach(const QPainterPath& clip)
{
    const QRectF seen = m_canvas.visible().adjusted(-1, -1, 1, 1);
    if (seen.adjusted(-kClipReach, -kClipReach, kClipReach, kClipReach).contains(clip.controlPointRect()))
        return clip;
    m_canvas.countDecodedPixels(qint64(clip.elementCount() + 5) * kCostPerClipElement);
    if (clip.elementCount() > kMaxClipElements)
        return QPainterPath(); // nothing that big is a real picture's clip
    return clip.intersected(rectPath(seen));
}

QList<QPainterPath> EmfPlusPlayer::clips() const
{
    QList<QPainterPath> all = m_s.outerClips;
    if (m_s.clip)
        all.append(*m_s.clip);
    return all;
}

// A container draws with its own transform, clip and quality settings, starting from identity,
// no clip of its own (what it draws stays inside the clips around it) and the default quality.
void EmfPlusPlayer::beginContainer(quint32 index, const QTransform& fit)
{
    saveState(index);
    m_s.container = fit * m_s.world * m_s.container;
    m_s.world = QTransform();
    if (m_s.clip) {
        if (m_s.outerClips.size() < kMaxNestedClips) {
            m_s.outerClips.append(*m_s.clip);
        } else {
            // Containers nested this deep fold their clips into the innermost one kept.
            QPainterPath& last = m_s.outerClips.last();
            const qint64 elements = qint64(last.elementCount()) + m_s.clip->elementCount();
            m_canvas.countDecodedPixels(elements * kCostPerClipElement);
            last = elements > kMaxClipElements ? QPainterPath() : last.intersected(*m_s.clip);
        }
    }
    m_s.clip.reset();
    m_s.antialias = false;
    m_s.smoothImages = true;
}

void EmfPlusPlayer::saveState(quint32 index)
{
    if (m_saved.size() >= kMaxSaved)
        m_saved.erase(m_saved.begin());
    m_saved.emplace_back(index, m_s);
}

void EmfPlusPlayer::restoreState(quint32 index)
{
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->first == index) {
            m_s = it->second;
            m_saved.erase(std::prev(it.base()), m_saved.end());
            return;
        }
    }
}

} // namespace metafile

#include "metafile/MetafileCanvas.h"

#include "metafile/MetafileCanvasLimits.h"

#include <QPaintDevice>

#include <cmath>

namespace metafile {

using namespace canvas;

namespace {

constexpr std::size_t kMaxSaveDepth = 1024;

Qt::BrushStyle qtHatch(gdi::HatchStyle hatch)
{
    switch (hatch) {
    case gdi::HatchStyle::Horizontal: return Qt::HorPattern;
    case gdi::HatchStyle::Vertical: return Qt::VerPattern;
    case gdi::HatchStyle::FDiagonal: return Qt::FDiagPattern;
    case gdi::HatchStyle::BDiagonal: return Qt::BDiagPattern;
    case gdi::HatchStyle::Cross: return Qt::CrossPattern;
    case gdi::HatchStyle::DiagCross: return Qt::DiagCrossPattern;
    }
    return Qt::SolidPattern;
}

} // namespace

MetafileCanvas::MetafileCanvas(QPainter& painter, QSize pictureSize, QTransform deviceToPicture, QSizeF devicePixelsPerMm,
                               Mode mode)
    : m_painter(painter)
    , m_base(painter.transform())
    , m_deviceToPicture(deviceToPicture)
    , m_pixelsPerMm(devicePixelsPerMm)
    , m_measuring(mode == Mode::Measure)
{
    const bool outerClip = painter.hasClipping();
    if (outerClip)
        m_outerClip = painter.clipPath();
    painter.save();
    m_visible = QRectF(QPointF(0, 0), QSizeF(pictureSize));
    bool invertible = false;
    const QTransform toPicture = m_base.inverted(&invertible);
    if (QPaintDevice* device = painter.device(); device && invertible)
        m_visible = m_visible.intersected(toPicture.mapRect(QRectF(0, 0, device->width(), device->height())));
    if (m_outerClip)
        m_visible = m_visible.intersected(m_outerClip->boundingRect());
    if (m_measuring)
        m_visible = QRectF(-kFar, -kFar, 2 * kFar, 2 * kFar);
    // Measuring touches no pixels, so a fraction of the least budget measures any real picture;
    // the picture is then drawn within its own budget.
    m_budget = m_measuring ? kMinBudget / 4
                           : std::max<qint64>(kMinBudget, 32 * qint64(m_visible.width()) * qint64(m_visible.height()));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setBackgroundMode(Qt::TransparentMode);
}

MetafileCanvas::~MetafileCanvas()
{
    m_painter.restore();
}

QTransform MetafileCanvas::pageToDevice() const
{
    double sx = 1;
    double sy = 1;
    auto metric = [&](double mm) {
        sx = mm * m_pixelsPerMm.width();
        sy = -mm * m_pixelsPerMm.height(); // the metric and English modes count upwards
    };
    switch (m_s.mapMode) {
    case gdi::MapMode::LoMetric: metric(0.1); break;
    case gdi::MapMode::HiMetric: metric(0.01); break;
    case gdi::MapMode::LoEnglish: metric(0.254); break;
    case gdi::MapMode::HiEnglish: metric(0.0254); break;
    case gdi::MapMode::Twips: metric(25.4 / 1440); break;
    case gdi::MapMode::Isotropic:
    case gdi::MapMode::Anisotropic:
        sx = m_s.viewportExt.width() / m_s.windowExt.width();
        sy = m_s.viewportExt.height() / m_s.windowExt.height();
        if (m_s.mapMode == gdi::MapMode::Isotropic) {
            // GDI shrinks the viewport so one unit is as long both ways.
            const double s = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
        break;
    default: break; // MapMode::Text: one unit, one device pixel
    }
    return QTransform(sx, 0, 0, sy, m_s.viewportOrg.x() - m_s.windowOrg.x() * sx,
                      m_s.viewportOrg.y() - m_s.windowOrg.y() * sy);
}

const QTransform& MetafileCanvas::full()
{
    if (!m_fullValid) {
        m_full = m_s.world * pageToDevice() * m_deviceToPicture;
        m_fullValid = true;
    }
    return m_full;
}

void MetafileCanvas::shiftDevice(QPointF by)
{
    m_deviceToPicture = QTransform::fromTranslate(by.x(), by.y()) * m_deviceToPicture;
    changed();
}

double MetafileCanvas::lengthScale()
{
    return std::sqrt(std::abs(full().determinant()));
}

void MetafileCanvas::setMapMode(gdi::MapMode mode)
{
    if (mode < gdi::MapMode::Text || mode > gdi::MapMode::Anisotropic)
        return;
    m_s.mapMode = mode;
    changed();
}

void MetafileCanvas::setWindowOrg(QPointF p)
{
    m_s.windowOrg = p;
    changed();
}

void MetafileCanvas::setWindowExt(QSizeF s)
{
    // GDI refuses a zero extent, and ignores extents outside the scalable modes.
    if (s.width() == 0 || s.height() == 0 || !gdi::scalable(m_s.mapMode))
        return;
    m_s.windowExt = s;
    changed();
}

void MetafileCanvas::setViewportOrg(QPointF p)
{
    m_s.viewportOrg = p;
    changed();
}

void MetafileCanvas::setViewportExt(QSizeF s)
{
    if (s.width() == 0 || s.height() == 0 || !gdi::scalable(m_s.mapMode))
        return;
    m_s.viewportExt = s;
    changed();
}

void MetafileCanvas::offsetWindowOrg(QPointF d)
{
    m_s.windowOrg += d;
    changed();
}

void MetafileCanvas::offsetViewportOrg(QPointF d)
{
    m_s.viewportOrg += d;
    changed();
}

void MetafileCanvas::scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    setWindowExt(QSizeF(m_s.windowExt.width() * xNum / xDenom, m_s.windowExt.height() * yNum / yDenom));
}

void MetafileCanvas::scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom == 0 || yDenom == 0)
        return;
    setViewportExt(QSizeF(m_s.viewportExt.width() * xNum / xDenom, m_s.viewportExt.height() * yNum / yDenom));
}

void MetafileCanvas::setWorldTransform(const QTransform& t)
{
    if (!usable(t) || std::abs(t.m11()) > 1e6 || std::abs(t.m12()) > 1e6 || std::abs(t.m21()) > 1e6
        || std::abs(t.m22()) > 1e6 || std::abs(t.dx()) > 1e9 || std::abs(t.dy()) > 1e9)
        return;
    m_s.world = t;
    changed();
}

void MetafileCanvas::modifyWorldTransform(const QTransform& t, gdi::WorldTransformMode mode)
{
    switch (mode) {
    case gdi::WorldTransformMode::Identity: setWorldTransform(QTransform()); break;
    case gdi::WorldTransformMode::LeftMultiply: setWorldTransform(t * m_s.world); break; // the new one first
    case gdi::WorldTransformMode::RightMultiply: setWorldTransform(m_s.world * t); break;
    case gdi::WorldTransformMode::Set: setWorldTransform(t); break;
    default: break;
    }
}

void MetafileCanvas::setBkMode(gdi::BkMode mode)
{
    if (mode == gdi::BkMode::Transparent || mode == gdi::BkMode::Opaque)
        m_s.bkOpaque = mode == gdi::BkMode::Opaque;
}

void MetafileCanvas::setPolyFillMode(gdi::PolyFillMode mode)
{
    if (mode == gdi::PolyFillMode::Alternate || mode == gdi::PolyFillMode::Winding)
        m_s.winding = mode == gdi::PolyFillMode::Winding;
}

void MetafileCanvas::setMiterLimit(double limit)
{
    if (std::isfinite(limit) && limit >= 1)
        m_s.miterLimit = std::min(limit, 100.0);
}

GdiPen MetafileCanvas::stockPen(gdi::StockObject object)
{
    GdiPen pen;
    if (object == gdi::StockObject::WhitePen)
        pen.colour = 0xFFFFFF;
    else if (object == gdi::StockObject::NullPen)
        pen.flags.setStyle(gdi::PenStyle::Null);
    return pen;
}

std::optional<GdiBrush> MetafileCanvas::stockBrush(gdi::StockObject object)
{
    // WHITE_BRUSH to BLACK_BRUSH, in order.
    static const quint32 greys[] = { 0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000 };
    GdiBrush brush;
    if (object <= gdi::StockObject::BlackBrush)
        brush.colour = greys[quint32(object)];
    else if (object == gdi::StockObject::NullBrush)
        brush.kind = GdiBrush::Kind::Null;
    else if (object == gdi::StockObject::DcBrush) // white until told otherwise
        brush.colour = 0xFFFFFF;
    else
        return {};
    return brush;
}

QRgb MetafileCanvas::rgb(quint32 colourRef) const
{
    // 0x01 in the top byte: an index into the logical palette.
    if ((colourRef >> 24) == 0x01) {
        const quint32 index = colourRef & 0xFFFF;
        return index < quint32(m_s.palette.size()) ? m_s.palette[index] : qRgb(0, 0, 0);
    }
    return qRgb(colourRef & 0xFF, (colourRef >> 8) & 0xFF, (colourRef >> 16) & 0xFF);
}

bool MetafileCanvas::preparePen(QPen& pen, bool inPicturePixels)
{
    const GdiPen& p = m_s.pen;
    const gdi::PenStyle style = p.flags.style();
    if (style == gdi::PenStyle::Null)
        return false;
    const double scale = lengthScale();
    const double deviceWidth = p.width * scale;
    // Qt refuses widths past the range of an int, with a warning, and keeps the pen it had.
    if (p.width > kFar || deviceWidth > kFar)
        return false;
    const bool cosmetic = !(deviceWidth >= 1.0) || !std::isfinite(deviceWidth);
    pen = QPen(QColor(rgb(p.colour)));
    if (cosmetic) {
        pen.setWidth(0);
        pen.setCosmetic(true);
        pen.setCapStyle(Qt::FlatCap);
    } else {
        pen.setWidthF(inPicturePixels ? deviceWidth : p.width);
        switch (p.flags.endCap()) {
        case gdi::PenEndCap::Square: pen.setCapStyle(Qt::SquareCap); break;
        case gdi::PenEndCap::Flat: pen.setCapStyle(Qt::FlatCap); break;
        default: pen.setCapStyle(Qt::RoundCap); break;
        }
        switch (p.flags.join()) {
        case gdi::PenJoin::Bevel: pen.setJoinStyle(Qt::BevelJoin); break;
        case gdi::PenJoin::Miter: pen.setJoinStyle(Qt::MiterJoin); break;
        default: pen.setJoinStyle(Qt::RoundJoin); break;
        }
        pen.setMiterLimit(m_s.miterLimit);
    }
    // Qt counts dashes in pen widths. GDI's cosmetic dashes are pixels; its wide ones scale.
    const double widthPixels = cosmetic ? 1.0 : deviceWidth;
    QList<qreal> dashes;
    switch (style) {
    case gdi::PenStyle::Dash: dashes = cosmetic ? QList<qreal> { 18, 6 } : QList<qreal> { 3, 1 }; break;
    case gdi::PenStyle::Dot: dashes = cosmetic ? QList<qreal> { 3, 3 } : QList<qreal> { 1, 1 }; break;
    case gdi::PenStyle::DashDot:
        dashes = cosmetic ? QList<qreal> { 9, 6, 3, 6 } : QList<qreal> { 3, 1, 1, 1 };
        break;
    case gdi::PenStyle::DashDotDot:
        dashes = cosmetic ? QList<qreal> { 9, 3, 3, 3, 3, 3 } : QList<qreal> { 3, 1, 1, 1, 1, 1 };
        break;
    case gdi::PenStyle::Alternate: dashes = { 1, 1 }; break;
    case gdi::PenStyle::UserStyle: {
        double total = 0;
        for (qreal entry : p.userDashes) {
            // Entries are logical units for wide pens, pixels for cosmetic ones; none shorter
            // than a pixel, or a long line becomes millions of dashes.
            const double pixels = cosmetic ? entry : entry * scale;
            const double clamped = std::clamp(std::isfinite(pixels) ? pixels : 1.0, 1.0, kFar);
            dashes.append(clamped / widthPixels);
            total += clamped;
        }
        if (dashes.size() % 2 == 1)
            dashes.append(dashes.last());
        if (total <= 0)
            dashes.clear();
        break;
    }
    default: break;
    }
    if (!dashes.isEmpty())
        pen.setDashPattern(dashes);
    return true;
}

bool MetafileCanvas::prepareBrush(QBrush& brush)
{
    const GdiBrush& b = m_s.brush;
    switch (b.kind) {
    case GdiBrush::Kind::Null:
        return false;
    case GdiBrush::Kind::Solid:
        brush = QBrush(QColor(rgb(b.colour)));
        return true;
    case GdiBrush::Kind::Hatched:
        brush = QBrush(QColor(rgb(b.colour)), qtHatch(b.hatch));
        return true;
    case GdiBrush::Kind::Pattern:
        if (b.pattern.isNull())
            return false;
        brush = QBrush(b.pattern);
        // Qt scales a texture with the painter; GDI tiles it in device pixels from the top left.
        brush.setTransform(full().inverted());
        return true;
    }
    return false;
}

void MetafileCanvas::saveDC()
{
    if (m_saved.size() < kMaxSaveDepth)
        m_saved.push_back(m_s);
}

void MetafileCanvas::restoreDC(int which)
{
    // Negative: so many levels back; positive: the state the which-th save stored.
    const qint64 depth = qint64(m_saved.size());
    const qint64 index = which < 0 ? depth + which : qint64(which) - 1;
    if (which == 0 || index < 0 || index >= depth)
        return;
    m_s = m_saved[std::size_t(index)];
    m_saved.resize(std::size_t(index));
    changed();
    m_clipDirty = true;
}

} // namespace metafile

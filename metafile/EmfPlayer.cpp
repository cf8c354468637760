#include "metafile/EmfPlusPlayer.h"
#include "metafile/EmfRecords.h"
#include "metafile/MaskPairing.h"
#include "metafile/MetafileCanvas.h"
#include "metafile/MetafileDib.h"
#include "metafile/MetafilePlayers.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace metafile {
namespace {

using Metafile::Format;
using Metafile::Problem;
using gdi::EmrType;
using gdi::StockObject;

constexpr quint32 kEmfSignature = 0x464D4520; // " EMF"
constexpr quint32 kStockObject = 0x80000000;
constexpr quint32 kAcSrcAlpha = 1; // the BLENDFUNCTION's alpha format: the bitmap's own alpha counts
constexpr quint32 kGradientTriangle = 2;
constexpr quint32 kGradientRectV = 1;
constexpr quint32 kDefaultPalette = kStockObject | quint32(StockObject::DefaultPalette);

// Which stock objects are pens and fonts (brushes are the canvas's to tell).
bool isStockPen(StockObject stock)
{
    return (stock >= StockObject::WhitePen && stock <= StockObject::NullPen) || stock == StockObject::DcPen;
}
bool isStockFont(StockObject stock)
{
    return stock >= StockObject::OemFixedFont && stock <= StockObject::DefaultGuiFont
        && stock != StockObject::DefaultPalette;
}

struct Object {
    enum class Kind { Pen, Brush, Font, Palette };
    Kind kind = Kind::Pen;
    GdiPen pen;
    GdiBrush brush;
    GdiFont font;
    QList<QRgb> palette;
};

// Bitmap pixels that are the given colour become transparent, as TransparentBlt leaves them.
QImage withoutColour(const QImage& image, QRgb key)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF))
                line[x] = 0;
    }
    return out;
}

// The source with the pixels its monochrome mask leaves out (bit 0) made clear. The mask's
// (maskX, maskY) lies under the source's (sourceX, sourceY); outside the mask nothing is left out.
QImage masked(const QImage& source, const QImage& mask, QPoint sourceAt, QPoint maskAt)
{
    QImage out = source.convertToFormat(QImage::Format_ARGB32);
    // The file's coordinates may be anything: the shift is worked out wide.
    const qint64 shiftX = qint64(maskAt.x()) - sourceAt.x();
    const qint64 shiftY = qint64(maskAt.y()) - sourceAt.y();
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        const qint64 my = y + shiftY;
        if (my < 0 || my >= mask.height())
            continue;
        for (int x = 0; x < out.width(); ++x) {
            const qint64 mx = x + shiftX;
            if (mx >= 0 && mx < mask.width() && qGray(mask.pixel(int(mx), int(my))) < 128)
                line[x] = 0;
        }
    }
    return out;
}

// A blit's source may carry its own transform; only a plain scale and shift, of sensible size,
// is taken.
bool usableSourceTransform(const QTransform& t)
{
    return t.isAffine() && t.m12() == 0 && t.m21() == 0 && std::isfinite(t.m11()) && std::isfinite(t.m22())
        && std::isfinite(t.dx()) && std::isfinite(t.dy()) && t.m11() != 0 && t.m22() != 0 && std::abs(t.m11()) < 1e6
        && std::abs(t.m22()) < 1e6 && std::abs(t.dx()) < 1e9 && std::abs(t.dy()) < 1e9;
}

// Plays the records read by emf::readRecord, one overload a record family.
struct Player {
    MetafileCanvas& canvas;
    int handles;
    QHash<quint32, Object> objects;
    EmfPlusPlayer plus { canvas };
    MaskPairing pairs { canvas };

    // Index 0 is the metafile itself; anything at or past the header's count is not a handle.
    bool validHandle(quint32 index) const { return index > 0 && index < quint32(handles); }
    void store(quint32 index, Object object)
    {
        if (validHandle(index))
            objects.insert(index, std::move(object));
    }
    // The brush a record names: a stock one, or one the file made; none for anything else.
    std::optional<GdiBrush> brushAt(quint32 index) const
    {
        if (auto it = objects.constFind(index); it != objects.constEnd() && it->kind == Object::Kind::Brush)
            return it->brush;
        if (index & kStockObject)
            return MetafileCanvas::stockBrush(StockObject(index & ~kStockObject));
        return std::nullopt;
    }
    // The bitmap a record carries; its pixels count against the picture's budget.
    Dib bitmap(const BitmapRef& ref, bool keepAlpha = false)
    {
        if (ref.infoSize == 0)
            return {};
        Dib dib = decodeDib(ref.info, ref.bits, ref.usage, canvas.palette(), keepAlpha);
        if (!dib.isNull())
            canvas.countDecodedPixels(qint64(dib.image.width()) * dib.image.height());
        return dib;
    }

    void play(std::monostate) {}
    void play(const emf::Header&) {}
    void play(const emf::NoParameters& r);
    void play(const emf::Setting& r);
    void play(const emf::ObjectRef& r);
    void play(const emf::PointRecord& r);
    void play(const emf::Extent& r);
    void play(const emf::ScaleExtent& r);
    void play(const emf::SetWorldTransform& r) { canvas.setWorldTransform(r.transform); }
    void play(const emf::ModifyWorldTransform& r) { canvas.modifyWorldTransform(r.transform, r.mode); }
    void play(const emf::BoxRecord& r);
    void play(const emf::RoundRect& r) { canvas.roundRect(r.box, r.corner); }
    void play(const emf::ArcRecord& r);
    void play(const emf::AngleArc& r) { canvas.angleArc(r.centre, r.radius, r.startAngle, r.sweepAngle); }
    void play(const emf::SetPixelV& r) { canvas.setPixel(r.point, r.colour); }
    void play(const emf::Poly& r);
    void play(const emf::PolyPoly& r);
    void play(const emf::PolyDraw& r) { canvas.polyDraw(r.points, r.types); }
    void play(const emf::CreatePen& r) { store(r.index, { .kind = Object::Kind::Pen, .pen = r.object }); }
    void play(const emf::CreateBrush& r) { store(r.index, { .kind = Object::Kind::Brush, .brush = r.object }); }
    void play(const emf::CreateDibBrush& r);
    void play(const emf::CreateFont& r) { store(r.index, { .kind = Object::Kind::Font, .font = r.object }); }
    void play(const emf::CreatePalette& r) { store(r.index, { .kind = Object::Kind::Palette, .palette = r.object }); }
    void play(const emf::ExtSelectClipRgn& r) { canvas.selectClipRegion(r.region, r.mode); }
    void play(const emf::FillRgn& r);
    void play(const emf::RegionRecord& r);
    void play(const emf::FrameRgn& r);
    void play(const emf::GradientFill& r);
    void play(const emf::TextRecord& r);
    void play(const emf::Blt& r);
    void play(const emf::MaskBlt& r);
    void play(const emf::PlgBlt& r);
    void play(const emf::SetDiBitsToDevice& r);
    void play(const emf::StretchDiBits& r);
    void play(const emf::Comment& r);

    void selectObject(quint32 index);
    void text(const emf::TextPiece& piece);
};

void Player::play(const emf::NoParameters& r)
{
    switch (r.type) {
    case EmrType::EMR_SAVEDC: canvas.saveDC(); break;
    case EmrType::EMR_BEGINPATH: canvas.beginPath(); break;
    case EmrType::EMR_ENDPATH: canvas.endPath(); break;
    case EmrType::EMR_CLOSEFIGURE: canvas.closeFigure(); break;
    case EmrType::EMR_ABORTPATH: canvas.abortPath(); break;
    case EmrType::EMR_FILLPATH: canvas.fillPath(); break;
    case EmrType::EMR_STROKEPATH: canvas.strokePath(); break;
    case EmrType::EMR_STROKEANDFILLPATH: canvas.strokeAndFillPath(); break;
    case EmrType::EMR_WIDENPATH: canvas.widenPath(); break;
    case EmrType::EMR_SETMETARGN: canvas.setMetaRegion(); break;
    default: break;
    }
}

void Player::play(const emf::Setting& r)
{
    switch (r.type) {
    case EmrType::EMR_SETMAPMODE: canvas.setMapMode(gdi::MapMode(r.value)); break;
    case EmrType::EMR_SETBKMODE: canvas.setBkMode(gdi::BkMode(r.value)); break;
    case EmrType::EMR_SETPOLYFILLMODE: canvas.setPolyFillMode(gdi::PolyFillMode(r.value)); break;
    case EmrType::EMR_SETROP2: canvas.setRop2(gdi::Rop2(r.value)); break;
    case EmrType::EMR_SETTEXTALIGN: canvas.setTextAlign(gdi::TextAlign { r.value }); break;
    case EmrType::EMR_SETTEXTCOLOR: canvas.setTextColour(r.value); break;
    case EmrType::EMR_SETBKCOLOR: canvas.setBkColour(r.value); break;
    case EmrType::EMR_SETARCDIRECTION: canvas.setArcDirection(gdi::ArcDirection(r.value)); break;
    case EmrType::EMR_SETMITERLIMIT: canvas.setMiterLimit(r.value); break;
    case EmrType::EMR_RESTOREDC: canvas.restoreDC(qint32(r.value)); break;
    case EmrType::EMR_SELECTCLIPPATH: canvas.selectClipPath(gdi::RegionMode(r.value)); break;
    default: break;
    }
}

void Player::play(const emf::ObjectRef& r)
{
    switch (r.type) {
    case EmrType::EMR_SELECTOBJECT: selectObject(r.index); break;
    case EmrType::EMR_DELETEOBJECT: objects.remove(r.index); break;
    case EmrType::EMR_SELECTPALETTE:
        if (r.index == kDefaultPalette)
            canvas.selectPalette({});
        else if (auto it = objects.constFind(r.index); it != objects.constEnd() && it->kind == Object::Kind::Palette)
            canvas.selectPalette(it->palette);
        break;
    default: break;
    }
}

void Player::selectObject(quint32 index)
{
    if (index & kStockObject) {
        const auto stock = StockObject(index & ~kStockObject);
        if (std::optional<GdiBrush> brush = MetafileCanvas::stockBrush(stock))
            canvas.selectBrush(*brush);
        else if (isStockPen(stock))
            canvas.selectPen(MetafileCanvas::stockPen(stock));
        else if (isStockFont(stock))
            canvas.selectFont(GdiFont());
    } else if (auto it = objects.constFind(index); it != objects.constEnd()) {
        switch (it->kind) {
        case Object::Kind::Pen: canvas.selectPen(it->pen); break;
        case Object::Kind::Brush: canvas.selectBrush(it->brush); break;
        case Object::Kind::Font: canvas.selectFont(it->font); break;
        case Object::Kind::Palette: break;
        }
    }
}

void Player::play(const emf::PointRecord& r)
{
    switch (r.type) {
    case EmrType::EMR_SETWINDOWORGEX: canvas.setWindowOrg(r.point); break;
    case EmrType::EMR_SETVIEWPORTORGEX: canvas.setViewportOrg(r.point); break;
    case EmrType::EMR_MOVETOEX: canvas.moveTo(r.point); break;
    case EmrType::EMR_LINETO: canvas.lineTo(r.point); break;
    case EmrType::EMR_OFFSETCLIPRGN: canvas.offsetClip(r.point); break;
    default: break;
    }
}

void Player::play(const emf::Extent& r)
{
    if (r.type == EmrType::EMR_SETWINDOWEXTEX)
        canvas.setWindowExt(r.extent);
    else
        canvas.setViewportExt(r.extent);
}

void Player::play(const emf::ScaleExtent& r)
{
    if (r.type == EmrType::EMR_SCALEWINDOWEXTEX)
        canvas.scaleWindowExt(r.xNum, r.xDenom, r.yNum, r.yDenom);
    else
        canvas.scaleViewportExt(r.xNum, r.xDenom, r.yNum, r.yDenom);
}

void Player::play(const emf::BoxRecord& r)
{
    switch (r.type) {
    case EmrType::EMR_RECTANGLE: canvas.rectangle(r.box); break;
    case EmrType::EMR_ELLIPSE: canvas.ellipse(r.box); break;
    case EmrType::EMR_INTERSECTCLIPRECT: canvas.intersectClipRect(r.box); break;
    case EmrType::EMR_EXCLUDECLIPRECT: canvas.excludeClipRect(r.box); break;
    default: break;
    }
}

void Player::play(const emf::ArcRecord& r)
{
    const auto kind = r.type == EmrType::EMR_ARC ? MetafileCanvas::ArcKind::Arc
        : r.type == EmrType::EMR_ARCTO           ? MetafileCanvas::ArcKind::ArcTo
        : r.type == EmrType::EMR_CHORD           ? MetafileCanvas::ArcKind::Chord
                                                 : MetafileCanvas::ArcKind::Pie;
    canvas.arc(r.box, r.start, r.end, kind);
}

void Player::play(const emf::Poly& r)
{
    switch (r.type) {
    case EmrType::EMR_POLYBEZIER:
    case EmrType::EMR_POLYBEZIER16: canvas.polyBezier(r.points); break;
    case EmrType::EMR_POLYGON:
    case EmrType::EMR_POLYGON16: canvas.polygon(r.points); break;
    case EmrType::EMR_POLYLINE:
    case EmrType::EMR_POLYLINE16: canvas.polyline(r.points); break;
    case EmrType::EMR_POLYBEZIERTO:
    case EmrType::EMR_POLYBEZIERTO16: canvas.polyBezierTo(r.points); break;
    case EmrType::EMR_POLYLINETO:
    case EmrType::EMR_POLYLINETO16: canvas.polylineTo(r.points); break;
    default: break;
    }
}

void Player::play(const emf::PolyPoly& r)
{
    if (r.type == EmrType::EMR_POLYPOLYGON || r.type == EmrType::EMR_POLYPOLYGON16)
        canvas.polyPolygon(r.polys);
    else
        canvas.polyPolyline(r.polys);
}

void Player::play(const emf::CreateDibBrush& r)
{
    const BitmapRef& bitmap = r.object;
    const GdiBrush brush = patternBrush(decodeDib(bitmap.info, bitmap.bits, bitmap.usage, canvas.palette()), canvas);
    store(r.index, { .kind = Object::Kind::Brush, .brush = brush });
}

void Player::play(const emf::FillRgn& r)
{
    if (const std::optional<GdiBrush> brush = brushAt(r.brush))
        canvas.fillRegion(r.region, *brush);
}

// PaintRgn uses the brush selected; FillRgn names its own.
void Player::play(const emf::RegionRecord& r)
{
    if (r.type == EmrType::EMR_PAINTRGN)
        canvas.fillRegion(r.region, canvas.brush());
    else
        canvas.invertRegion(r.region);
}

void Player::play(const emf::FrameRgn& r)
{
    if (const std::optional<GdiBrush> brush = brushAt(r.brush))
        canvas.frameRegion(r.region, *brush, r.stroke.width(), r.stroke.height());
}

void Player::play(const emf::GradientFill& r)
{
    const qint64 vertices = r.vertices.size();
    for (const std::array<quint32, 3>& shape : r.shapes) {
        if (canvas.exhausted())
            break;
        if (shape[0] >= vertices || shape[1] >= vertices || shape[2] >= vertices)
            continue;
        const emf::GradientFill::Vertex& a = r.vertices[shape[0]];
        const emf::GradientFill::Vertex& b = r.vertices[shape[1]];
        if (r.mode == kGradientTriangle) {
            const emf::GradientFill::Vertex& c = r.vertices[shape[2]];
            canvas.gradientTriangle({ a.point, b.point, c.point }, { a.colour, b.colour, c.colour });
        } else {
            canvas.gradientRect(a.point, b.point, a.colour, b.colour, r.mode == kGradientRectV);
        }
    }
}

// Several pieces of text, each with its own reference point, in one record.
void Player::play(const emf::TextRecord& r)
{
    for (const emf::TextPiece& piece : r.pieces) {
        if (canvas.exhausted())
            break;
        text(piece);
    }
}

void Player::text(const emf::TextPiece& piece)
{
    GdiText text;
    if (piece.wide) {
        QString s(piece.string.size() / 2, Qt::Uninitialized);
        for (qint64 i = 0; i < s.size(); ++i)
            s[i] = QChar(piece.string.u16(2 * i));
        text = utf16Text(s, piece.dx);
    } else {
        text = decodeText(piece.string.view(), canvas.textCharset(), piece.dx);
    }
    canvas.textOut(piece.reference, text, piece.options, piece.rect);
}

void Player::play(const emf::Blt& r)
{
    if (r.bitmap.infoSize == 0) {
        if (r.type == EmrType::EMR_BITBLT || r.type == EmrType::EMR_STRETCHBLT)
            canvas.stretchBlt(r.dest, QImage(), QRectF(), gdi::rasterOp(r.rop));
        return;
    }
    const bool alpha = r.type == EmrType::EMR_ALPHABLEND && (r.rop >> 24 & kAcSrcAlpha);
    const Dib dib = bitmap(r.bitmap, alpha);
    if (dib.isNull())
        return;
    const QRectF source = usableSourceTransform(r.sourceTransform) ? r.sourceTransform.mapRect(r.source) : r.source;
    if (r.type == EmrType::EMR_ALPHABLEND)
        canvas.alphaBlend(r.dest, dib.image, source, int(r.rop >> 16 & 0xFF));
    else if (r.type == EmrType::EMR_TRANSPARENTBLT) // the raster operation's place holds the colour left out
        canvas.stretchBlt(r.dest, withoutColour(dib.image, canvas.rgb(r.rop)), source, gdi::RasterOp::SrcCopy);
    else
        canvas.stretchBlt(r.dest, dib.image, source, gdi::rasterOp(r.rop));
}

// The foreground operation where the mask is set, the background one where it is not. Kept as
// GDI does it when the background leaves the destination as it is (the usual
// MAKEROP4(SRCCOPY, ...) case); otherwise the foreground operation covers all.
void Player::play(const emf::MaskBlt& r)
{
    const gdi::RasterOp foreground = gdi::rasterOp(r.rop4);
    if (r.bitmap.infoSize == 0) {
        canvas.stretchBlt(r.dest, QImage(), QRectF(), foreground);
        return;
    }
    const Dib dib = bitmap(r.bitmap);
    if (dib.isNull())
        return;
    QImage image = dib.image;
    if (gdi::RasterOp(r.rop4 >> 24) == gdi::RasterOp::Destination) {
        if (const Dib mask = bitmap(r.mask); !mask.isNull())
            image = masked(image, mask.image, r.sourceAt, r.maskAt);
    }
    canvas.stretchBlt(r.dest, image, QRectF(r.sourceAt, r.dest.size()), foreground);
}

void Player::play(const emf::PlgBlt& r)
{
    const Dib dib = bitmap(r.bitmap);
    if (dib.isNull())
        return;
    QImage image = dib.image;
    if (const Dib mask = bitmap(r.mask); !mask.isNull())
        image = masked(image, mask.image, r.source.topLeft().toPoint(), r.maskAt);
    canvas.parallelogramBlt(r.corners, image, r.source);
}

// Only some scan lines may be stored, from startScan up; the header is made to describe just
// those, and the source counted from them.
void Player::play(const emf::SetDiBitsToDevice& r)
{
    const qint64 scans = r.scans;
    QByteArray header = r.bitmap.info.view().toByteArray();
    if (header.size() >= 40 && scans > 0 && scans <= kMaxDibSide) {
        const qint32 height = r.bitmap.info.i32(8);
        if (std::abs(qint64(height)) > scans) {
            const qint32 stored = height < 0 ? -qint32(scans) : qint32(scans);
            for (int k = 0; k < 4; ++k)
                header[8 + k] = char(quint32(stored) >> (8 * k) & 0xFF);
        }
    }
    const Dib dib = decodeDib(Bytes(header), r.bitmap.bits, r.bitmap.usage, canvas.palette());
    if (dib.isNull())
        return;
    canvas.countDecodedPixels(qint64(dib.image.width()) * dib.image.height());
    QRectF source(r.sourceAt.x(), r.sourceAt.y() - double(r.startScan), r.size.width(), r.size.height());
    if (dib.bottomUp) // counted from the bottom-left corner
        source.moveTop(dib.image.height() - source.top() - source.height());
    canvas.stretchBlt(QRectF(r.destAt, r.size), dib.image, source, gdi::RasterOp::SrcCopy);
}

void Player::play(const emf::StretchDiBits& r)
{
    const gdi::RasterOp rop = gdi::rasterOp(r.rop);
    if (r.bitmap.infoSize == 0) {
        pairs.release();
        canvas.stretchBlt(r.dest, QImage(), QRectF(), rop);
        return;
    }
    const Dib dib = bitmap(r.bitmap);
    if (dib.isNull()) {
        pairs.release();
        return;
    }
    QRectF source = r.source;
    if (dib.bottomUp) // rows counted from the bottom of a bottom-up bitmap
        source.moveTop(dib.image.height() - source.top() - source.height());
    pairs.blit(r.dest, dib.image, source, rop);
}

// Private data, GDI+ records among them.
void Player::play(const emf::Comment& r)
{
    if (r.emfPlus)
        plus.play(*r.emfPlus);
}

// The reference device's resolution, which the frame and any metric mapping mode use.
QSizeF referencePixelsPerMm(const emf::Header& h, qint64 headerSize)
{
    double pxPerMmX = 96 / 25.4;
    double pxPerMmY = 96 / 25.4;
    const double deviceX = h.device.width();
    const double deviceY = h.device.height();
    double mmX = h.millimetres.width();
    double mmY = h.millimetres.height();
    // The size in micrometres is finer, but only headers with the second extension carry it;
    // others have their description where it would be, so it is taken only when it lies
    // before the description and agrees with the millimetres.
    qint64 fixedPart = headerSize;
    if (h.descriptionLength > 0 && h.descriptionOffset >= 88)
        fixedPart = std::min<qint64>(fixedPart, h.descriptionOffset);
    if (fixedPart >= 100 && h.pixelFormatSize > 0 && h.pixelFormatOffset >= 88)
        fixedPart = std::min<qint64>(fixedPart, h.pixelFormatOffset);
    const double umX = h.micrometresX / 1000.0;
    const double umY = h.micrometresY / 1000.0;
    if (fixedPart >= 108 && umX > 0 && umY > 0 && std::abs(umX - mmX) <= 1 && std::abs(umY - mmY) <= 1) {
        mmX = umX;
        mmY = umY;
    }
    auto plausible = [](double v) { return std::isfinite(v) && v >= 0.01 && v <= 10000; };
    if (deviceX > 0 && mmX > 0 && plausible(deviceX / mmX))
        pxPerMmX = deviceX / mmX;
    if (deviceY > 0 && mmY > 0 && plausible(deviceY / mmY))
        pxPerMmY = deviceY / mmY;
    return QSizeF(pxPerMmX, pxPerMmY);
}

// The picture's frame and size from the header. False, with the layout's problem left as it is
// or set to TooLarge, when the header gives no usable picture.
bool placeFrame(const emf::Header& h, Layout& l)
{
    const double pxPerMmX = l.pixelsPerMm.width();
    const double pxPerMmY = l.pixelsPerMm.height();
    // The frame, in hundredths of a millimetre, is the picture; without one, the bounds in
    // device pixels.
    double left = h.frame.left();
    double top = h.frame.top();
    double width = double(h.frame.right()) - left;
    double height = double(h.frame.bottom()) - top;
    if (width <= 0 || height <= 0) {
        const double bl = h.bounds.left();
        const double bt = h.bounds.top();
        const double bw = double(h.bounds.right()) - bl + 1;
        const double bh = double(h.bounds.bottom()) - bt + 1;
        if (bw <= 0 || bh <= 0)
            return false;
        left = bl * 100 / pxPerMmX;
        top = bt * 100 / pxPerMmY;
        width = bw * 100 / pxPerMmX;
        height = bh * 100 / pxPerMmY;
    }
    const double pixelsWide = width * 96 / 2540;
    const double pixelsHigh = height * 96 / 2540;
    if (pixelsWide > Metafile::kMaxSide + 0.5 || pixelsHigh > Metafile::kMaxSide + 0.5) {
        // The size stays known, so that a reader can tell a refusal by size from a broken file.
        const auto side = [](double pixels) { return int(std::lround(std::clamp(pixels, 0.0, 1e9))); };
        l.size = QSize(side(pixelsWide), side(pixelsHigh));
        l.problem = Problem::TooLarge;
        return false;
    }
    l.size = QSize(int(std::lround(pixelsWide)), int(std::lround(pixelsHigh)));
    if (l.size.width() < 1 || l.size.height() < 1)
        return false;
    l.frame = QRectF(left / 100 * pxPerMmX, top / 100 * pxPerMmY, width / 100 * pxPerMmX, height / 100 * pxPerMmY);
    return true;
}

// Some writers place the drawing by its bounds and leave the frame at the origin, away from it:
// played through that frame, the picture would be all but empty. When the bounds are a real
// drawing's (each side between a quarter of the frame's and four times it) and mostly miss the
// frame, they are the picture instead.
void preferBoundsAwayFromFrame(const emf::Header& h, Layout& l)
{
    const QRectF bounds(h.bounds.left(), h.bounds.top(), double(h.bounds.right()) - h.bounds.left() + 1,
                        double(h.bounds.bottom()) - h.bounds.top() + 1);
    const auto area = [](const QRectF& r) { return r.isValid() ? r.width() * r.height() : 0.0; };
    const auto near = [](double side, double frameSide) { return side >= frameSide / 4 && side <= frameSide * 4; };
    if (near(bounds.width(), l.frame.width()) && near(bounds.height(), l.frame.height())
        && area(l.frame.intersected(bounds)) < area(bounds) / 2) {
        const QSize size(int(std::lround(bounds.width() / l.pixelsPerMm.width() * 96 / 25.4)),
                         int(std::lround(bounds.height() / l.pixelsPerMm.height() * 96 / 25.4)));
        if (size.width() >= 1 && size.height() >= 1 && size.width() <= Metafile::kMaxSide
            && size.height() <= Metafile::kMaxSide) {
            l.frame = bounds;
            l.size = size;
        }
    }
}

// Where the chain of records from `at` ends (after EMR_EOF, or at end); none when a record breaks it.
std::optional<qint64> endOfRecords(Bytes file, qint64 at, qint64 end)
{
    while (at < end) {
        const quint32 type = file.u32(at);
        const qint64 size = file.u32(at + 4);
        if (end - at < 8 || size < 8 || size % 4 != 0 || size > end - at)
            return {};
        at += size;
        if (type == quint32(EmrType::EMR_EOF))
            break;
    }
    return at;
}

// Whether a dual picture's GDI+ records can draw it, read before anything is drawn. The records
// are those scanEmf has found sound.
bool dualDrawnFromPlus(Bytes records)
{
    emfplus::DualCheck check;
    qint64 at = 0;
    while (check.verdict() == emfplus::DualCheck::Verdict::Undecided && records.has(at, 8)) {
        const auto type = EmrType(records.u32(at));
        const qint64 size = records.u32(at + 4);
        if (size < 8 || !records.has(at, size) || type == EmrType::EMR_EOF)
            break;
        if (type == EmrType::EMR_COMMENT) {
            const std::optional<emf::Record> record = emf::readRecord(type, records.sub(at, size));
            const auto* comment = record ? std::get_if<emf::Comment>(&*record) : nullptr;
            if (comment && comment->emfPlus)
                check.read(*comment->emfPlus);
            else if (comment && comment->identifier == emf::kEmfPlusSignature)
                check.broken();
        }
        at += size;
    }
    return check.verdict() == emfplus::DualCheck::Verdict::Playable;
}

} // namespace

Layout scanEmf(Bytes file)
{
    Layout l;
    const std::optional<emf::Header> header = emf::readHeader(file);
    if (!header || file.u32(0) != quint32(EmrType::EMR_HEADER) || header->signature != kEmfSignature)
        return l;
    l.format = Format::Emf;
    l.problem = Problem::Malformed;

    const qint64 headerSize = file.u32(4);
    if (headerSize < 88 || headerSize % 4 != 0 || !file.has(0, headerSize))
        return l;
    qint64 end = file.size();
    const qint64 declared = header->bytes;
    if (declared > end)
        return l; // cut short
    if (declared >= headerSize)
        end = declared; // whatever follows the metafile is not ours
    l.handles = header->handles;
    l.pixelsPerMm = referencePixelsPerMm(*header, headerSize);
    if (!placeFrame(*header, l))
        return l;
    preferBoundsAwayFromFrame(*header, l);

    const std::optional<qint64> last = endOfRecords(file, headerSize, end);
    if (!last)
        return l;
    l.records = file.sub(headerSize, *last - headerSize);
    l.problem = Problem::None;
    return l;
}

void playEmf(const Layout& layout, MetafileCanvas& canvas)
{
    Player player { canvas, layout.handles, {} };
    const Bytes records = layout.records;
    // A dual picture is drawn as GDI+ draws it, from its GDI+ records, with GDI records only where
    // a GetDC hands drawing to GDI; when its GDI+ records cannot draw it, from its GDI records.
    const bool dualFromPlus = dualDrawnFromPlus(records);
    if (dualFromPlus)
        player.plus.drawDual();
    qint64 at = 0;
    while (records.has(at, 8) && !canvas.exhausted()) {
        const auto type = EmrType(records.u32(at));
        const qint64 size = records.u32(at + 4);
        if (size < 8 || !records.has(at, size) || type == EmrType::EMR_EOF)
            break;
        const bool passedOver = dualFromPlus && type != EmrType::EMR_COMMENT && !player.plus.handsToGdi();
        if (passedOver) {
            player.pairs.release();
            at += size;
            continue;
        }
        if (type != EmrType::EMR_STRETCHDIBITS)
            player.pairs.release();
        if (const std::optional<emf::Record> record = emf::readRecord(type, records.sub(at, size)))
            std::visit([&](const auto& r) { player.play(r); }, *record);
        at += size;
    }
    player.pairs.release();
}

} // namespace metafile

#include "metafile/MetafileCanvas.h"
#include "metafile/MaskPairing.h"
#include "metafile/MetafileDib.h"
#include "metafile/MetafilePlayers.h"
#include "metafile/WmfRecords.h"

#include <QImage>
#include <QPainter>

#include <cmath>
#include <set>

namespace metafile {
namespace {

using Metafile::Format;
using Metafile::Problem;
using gdi::MetaType;

struct Object {
    enum class Kind { Empty, Pen, Brush, Font, Palette, Region, Other };
    Kind kind = Kind::Empty;
    GdiPen pen;
    GdiBrush brush;
    GdiFont font;
    QList<QRgb> palette;
    QPainterPath region;
};

// GDI's metafile object table: each new object takes the lowest free slot.
class ObjectTable {
public:
    explicit ObjectTable(int capacity)
        : m_capacity(capacity)
    {
    }
    void add(Object object)
    {
        if (!m_free.empty()) {
            const int slot = *m_free.begin();
            m_free.erase(m_free.begin());
            m_objects[std::size_t(slot)] = std::move(object);
        } else if (m_objects.size() < std::size_t(m_capacity)) {
            m_objects.push_back(std::move(object));
        }
        // A full table drops the object, as GDI would fail to create it.
    }
    const Object* at(quint16 index) const
    {
        if (index >= m_objects.size() || m_objects[index].kind == Object::Kind::Empty)
            return nullptr;
        return &m_objects[index];
    }
    const Object* at(quint16 index, Object::Kind kind) const
    {
        const Object* o = at(index);
        return o && o->kind == kind ? o : nullptr;
    }
    void remove(quint16 index)
    {
        if (index >= m_objects.size() || m_objects[index].kind == Object::Kind::Empty)
            return;
        m_objects[index] = Object();
        m_free.insert(index);
    }

private:
    int m_capacity;
    std::vector<Object> m_objects;
    std::set<int> m_free;
};

// With pairs, the bitmap goes through them (a StretchDIB may be half of a see-through pair).
void blit(MetafileCanvas& canvas, QRectF dest, Bytes dib, QRectF source, quint32 rop, quint32 usage, bool dibOrder,
          MaskPairing* pairs = nullptr)
{
    const Dib bitmap = decodePackedDib(dib, usage, canvas.palette());
    if (bitmap.isNull()) {
        if (pairs)
            pairs->release();
        return;
    }
    canvas.countDecodedPixels(qint64(bitmap.image.width()) * bitmap.image.height());
    if (dibOrder && bitmap.bottomUp) // StretchDIBits counts a bottom-up bitmap's rows from the bottom
        source.moveTop(bitmap.image.height() - source.top() - source.height());
    if (pairs)
        pairs->blit(dest, bitmap.image, source, gdi::rasterOp(rop));
    else
        canvas.stretchBlt(dest, bitmap.image, source, gdi::rasterOp(rop));
}

void blitBitmap16(MetafileCanvas& canvas, QRectF dest, Bytes bitmap, QRectF source, quint32 rop)
{
    const QImage image = decodeBitmap16(bitmap, canvas.textRgb(), canvas.bkRgb());
    if (image.isNull())
        return;
    canvas.countDecodedPixels(qint64(image.width()) * image.height());
    canvas.stretchBlt(dest, image, source, gdi::rasterOp(rop));
}

// Plays the records read by wmf::readRecord, one overload a record family.
struct Player {
    MetafileCanvas& canvas;
    ObjectTable objects;
    MaskPairing pairs { canvas };

    void play(std::monostate) {}
    void play(const wmf::NoParameters& r);
    void play(const wmf::Setting& r);
    void play(const wmf::ObjectRef& r);
    void play(const wmf::Colour& r);
    void play(const wmf::PointRecord& r);
    void play(const wmf::Extent& r);
    void play(const wmf::ScaleExtent& r);
    void play(const wmf::BoxRecord& r);
    void play(const wmf::RoundRect& r) { canvas.roundRect(r.box, r.corner); }
    void play(const wmf::ArcRecord& r);
    void play(const wmf::SetPixel& r) { canvas.setPixel(r.point, r.colour); }
    void play(const wmf::Poly& r);
    void play(const wmf::PolyPolygon& r) { canvas.polyPolygon(r.polygons); }
    void play(const wmf::CreatePen& r) { objects.add({ .kind = Object::Kind::Pen, .pen = r.object }); }
    void play(const wmf::CreateBrush& r) { objects.add({ .kind = Object::Kind::Brush, .brush = r.object }); }
    void play(const wmf::CreateDibBrush& r);
    void play(const wmf::CreateFont& r) { objects.add({ .kind = Object::Kind::Font, .font = r.object }); }
    void play(const wmf::CreatePalette& r) { objects.add({ .kind = Object::Kind::Palette, .palette = r.object }); }
    void play(const wmf::CreateRegion& r) { objects.add({ .kind = Object::Kind::Region, .region = r.object }); }
    void play(const wmf::FillRegion& r);
    void play(const wmf::FrameRegion& r);
    void play(const wmf::Text& r);
    void play(const wmf::Blt& r);
    void play(const wmf::DibBlt& r);

    void selectObject(quint16 index);
};

void Player::play(const wmf::NoParameters& r)
{
    if (r.type == MetaType::META_SAVEDC)
        canvas.saveDC();
    else if (r.type == MetaType::META_CREATEPATTERNBRUSH) // a device-dependent bitmap brush: only its slot matters
        objects.add({ .kind = Object::Kind::Brush, .brush = { .kind = GdiBrush::Kind::Null } });
}

void Player::play(const wmf::Setting& r)
{
    switch (r.type) {
    case MetaType::META_SETMAPMODE: canvas.setMapMode(gdi::MapMode(r.value)); break;
    case MetaType::META_SETBKMODE: canvas.setBkMode(gdi::BkMode(r.value)); break;
    case MetaType::META_SETPOLYFILLMODE: canvas.setPolyFillMode(gdi::PolyFillMode(r.value)); break;
    case MetaType::META_SETTEXTALIGN: canvas.setTextAlign(gdi::TextAlign { r.value }); break;
    case MetaType::META_SETTEXTCHAREXTRA: canvas.setCharExtra(qint16(r.value)); break;
    case MetaType::META_SETROP2: canvas.setRop2(gdi::Rop2(r.value)); break;
    case MetaType::META_RESTOREDC: canvas.restoreDC(qint16(r.value)); break;
    default: break;
    }
}

void Player::play(const wmf::ObjectRef& r)
{
    switch (r.type) {
    case MetaType::META_SELECTOBJECT: selectObject(r.index); break;
    case MetaType::META_DELETEOBJECT: objects.remove(r.index); break;
    case MetaType::META_SELECTPALETTE:
        if (const Object* o = objects.at(r.index, Object::Kind::Palette))
            canvas.selectPalette(o->palette);
        break;
    // Logical units, as PaintRgn and InvertRgn take them.
    case MetaType::META_PAINTREGION:
        if (const Object* o = objects.at(r.index, Object::Kind::Region))
            canvas.fillRegion(o->region, canvas.brush());
        break;
    case MetaType::META_INVERTREGION:
        if (const Object* o = objects.at(r.index, Object::Kind::Region))
            canvas.invertRegion(o->region);
        break;
    // The region becomes the clip, in device units as SelectClipRgn takes it; a slot that holds
    // no region leaves the clip as it is.
    case MetaType::META_SELECTCLIPREGION:
        if (const Object* o = objects.at(r.index, Object::Kind::Region))
            canvas.selectClipRegion(o->region, gdi::RegionMode::Copy);
        break;
    default: break;
    }
}

void Player::selectObject(quint16 index)
{
    const Object* o = objects.at(index);
    if (!o)
        return;
    if (o->kind == Object::Kind::Pen)
        canvas.selectPen(o->pen);
    else if (o->kind == Object::Kind::Brush)
        canvas.selectBrush(o->brush);
    else if (o->kind == Object::Kind::Font)
        canvas.selectFont(o->font);
}

void Player::play(const wmf::Colour& r)
{
    if (r.type == MetaType::META_SETBKCOLOR)
        canvas.setBkColour(r.value);
    else
        canvas.setTextColour(r.value);
}

void Player::play(const wmf::PointRecord& r)
{
    switch (r.type) {
    case MetaType::META_SETWINDOWORG: canvas.setWindowOrg(r.point); break;
    case MetaType::META_SETVIEWPORTORG: canvas.setViewportOrg(r.point); break;
    case MetaType::META_OFFSETWINDOWORG: canvas.offsetWindowOrg(r.point); break;
    case MetaType::META_OFFSETVIEWPORTORG: canvas.offsetViewportOrg(r.point); break;
    case MetaType::META_MOVETO: canvas.moveTo(r.point); break;
    case MetaType::META_LINETO: canvas.lineTo(r.point); break;
    case MetaType::META_OFFSETCLIPRGN: canvas.offsetClip(r.point); break;
    default: break;
    }
}

void Player::play(const wmf::Extent& r)
{
    if (r.type == MetaType::META_SETWINDOWEXT)
        canvas.setWindowExt(r.extent);
    else
        canvas.setViewportExt(r.extent);
}

void Player::play(const wmf::ScaleExtent& r)
{
    if (r.type == MetaType::META_SCALEWINDOWEXT)
        canvas.scaleWindowExt(r.xNum, r.xDenom, r.yNum, r.yDenom);
    else
        canvas.scaleViewportExt(r.xNum, r.xDenom, r.yNum, r.yDenom);
}

void Player::play(const wmf::BoxRecord& r)
{
    switch (r.type) {
    case MetaType::META_RECTANGLE: canvas.rectangle(r.box); break;
    case MetaType::META_ELLIPSE: canvas.ellipse(r.box); break;
    case MetaType::META_INTERSECTCLIPRECT: canvas.intersectClipRect(r.box); break;
    case MetaType::META_EXCLUDECLIPRECT: canvas.excludeClipRect(r.box); break;
    default: break;
    }
}

void Player::play(const wmf::ArcRecord& r)
{
    const auto kind = r.type == MetaType::META_ARC ? MetafileCanvas::ArcKind::Arc
        : r.type == MetaType::META_PIE             ? MetafileCanvas::ArcKind::Pie
                                                   : MetafileCanvas::ArcKind::Chord;
    canvas.arc(r.box, r.start, r.end, kind);
}

void Player::play(const wmf::Poly& r)
{
    if (r.type == MetaType::META_POLYGON)
        canvas.polygon(r.points);
    else
        canvas.polyline(r.points);
}

// The slot is taken even when the bitmap is not usable.
void Player::play(const wmf::CreateDibBrush& r)
{
    const GdiBrush brush = patternBrush(decodePackedDib(r.dib, r.usage, canvas.palette()), canvas);
    objects.add({ .kind = Object::Kind::Brush, .brush = brush });
}

// A region filled with a brush object, in logical units as FillRgn takes them.
void Player::play(const wmf::FillRegion& r)
{
    const Object* region = objects.at(r.region, Object::Kind::Region);
    const Object* brush = objects.at(r.brush, Object::Kind::Brush);
    if (region && brush)
        canvas.fillRegion(region->region, brush->brush);
}

void Player::play(const wmf::FrameRegion& r)
{
    const Object* region = objects.at(r.region, Object::Kind::Region);
    const Object* brush = objects.at(r.brush, Object::Kind::Brush);
    if (region && brush)
        canvas.frameRegion(region->region, brush->brush, r.stroke.width(), r.stroke.height());
}

void Player::play(const wmf::Text& r)
{
    canvas.textOut(r.reference, decodeText(r.string.view(), canvas.textCharset(), r.dx), r.options, r.rect);
}

void Player::play(const wmf::Blt& r)
{
    if (!r.source)
        canvas.stretchBlt(r.dest, QImage(), QRectF(), gdi::rasterOp(r.rop));
    else if (r.type == MetaType::META_BITBLT || r.type == MetaType::META_STRETCHBLT)
        blitBitmap16(canvas, r.dest, r.bitmap, *r.source, r.rop);
    else
        blit(canvas, r.dest, r.bitmap, *r.source, r.rop, DibRgbColours, false);
}

// SetDIBitsToDevice stores only the scan lines from startScan up: the header is made to describe
// just those.
void Player::play(const wmf::DibBlt& r)
{
    if (r.type == MetaType::META_STRETCHDIB) {
        blit(canvas, r.dest, r.dib, r.source, r.rop, r.usage, true, &pairs);
        return;
    }
    const qint64 scans = r.scans;
    QByteArray dib = r.dib.view().toByteArray();
    const Bytes stored(dib);
    if (stored.u32(0) >= 40 && stored.has(0, 40) && scans > 0 && std::abs(qint64(stored.i32(8))) > scans) {
        const qint32 height = stored.i32(8) < 0 ? -qint32(scans) : qint32(scans);
        for (int k = 0; k < 4; ++k)
            dib[8 + k] = char(quint32(height) >> (8 * k) & 0xFF);
    }
    blit(canvas, r.dest, Bytes(dib), r.source, r.rop, r.usage, true);
}

void playRecords(const Layout& layout, MetafileCanvas& canvas)
{
    Player player { canvas, ObjectTable(layout.objectCount) };
    const Bytes records = layout.records;
    qint64 at = 0;
    while (records.has(at, 6) && !canvas.exhausted()) {
        const qint64 words = records.u32(at);
        if (words < 3 || !records.has(at, 2 * words))
            break;
        if (records.u16(at + 4) != quint16(MetaType::META_STRETCHDIB))
            player.pairs.release();
        if (const std::optional<wmf::Record> record = wmf::readRecord(records.sub(at, 2 * words)))
            std::visit([&](const auto& r) { player.play(r); }, *record);
        at += 2 * words;
    }
    player.pairs.release();
}

// Where a plain file without a window draws, in its device's pixels: such a file is drawn one
// logical unit to a pixel, and its picture is as large as its drawing.
QRectF measureDrawing(const Layout& layout)
{
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter painter(&scratch);
    MetafileCanvas canvas(painter, QSize(1, 1), QTransform(), QSizeF(96 / 25.4, 96 / 25.4),
                          MetafileCanvas::Mode::Measure);
    playRecords(layout, canvas);
    return canvas.measured();
}

// A placeable file's box over its units per inch is its size; a box with no area (or no inch)
// says nothing, and the file is sized as a plain one. False when the box is too large.
bool readPlaceableBox(const wmf::PlaceableHeader& box, Layout& l, bool& boxed)
{
    const double inch = box.unitsPerInch;
    const QSize size(inch == 0 ? 0 : int(std::lround(std::abs(box.right - box.left) * 96 / inch)),
                     inch == 0 ? 0 : int(std::lround(std::abs(box.bottom - box.top) * 96 / inch)));
    if (size.width() > Metafile::kMaxSide || size.height() > Metafile::kMaxSide) {
        l.size = size;
        l.problem = Problem::TooLarge;
        return false;
    }
    if (size.width() >= 1 && size.height() >= 1) {
        boxed = true;
        l.windowOrg = QPointF(box.left, box.top);
        l.windowExt = QSizeF(box.right - box.left, box.bottom - box.top);
        l.size = size;
    }
    return true;
}

// Walks the chain from `first`: every record must lie inside the file. Sets the layout's records
// and gives the first window extent and the origin set before it, or false when a record is cut
// short.
bool walkRecords(Bytes file, qint64 first, Layout& l, std::optional<QSizeF>& extent, QPointF& origin)
{
    qint64 at = first;
    while (at < file.size()) {
        const qint64 words = file.u32(at);
        const auto function = MetaType(file.u16(at + 4));
        if (!file.has(at, 6) || words < 3 || !file.has(at, 2 * words))
            return false;
        if (function == MetaType::META_EOF) {
            at += 2 * words;
            break;
        }
        if (!extent && words >= 5) {
            const QPointF value(file.i16(at + 8), file.i16(at + 6));
            if (function == MetaType::META_SETWINDOWORG)
                origin = value;
            else if (function == MetaType::META_SETWINDOWEXT)
                extent = QSizeF(value.x(), value.y());
        }
        at += 2 * words;
    }
    l.records = file.sub(first, at - first);
    return true;
}

// A plain file's size: its window's extent in logical units taken as pixels, or where its
// drawing lies when it sets no window. False when that is too large or empty.
bool sizePlainFile(Layout& l, std::optional<QSizeF> extent, QPointF origin)
{
    if (extent) {
        l.windowOrg = origin;
        l.windowExt = *extent;
        const double w = std::abs(extent->width());
        const double h = std::abs(extent->height());
        if (w > Metafile::kMaxSide || h > Metafile::kMaxSide) {
            l.problem = Problem::TooLarge;
            return false;
        }
        l.size = QSize(int(w), int(h));
        return true;
    }
    const QRectF drawing = measureDrawing(l);
    if (drawing.isEmpty())
        return false;
    const QRect pixels(QPoint(int(std::floor(drawing.left())), int(std::floor(drawing.top()))),
                       QPoint(int(std::ceil(drawing.right())) - 1, int(std::ceil(drawing.bottom())) - 1));
    if (pixels.width() > Metafile::kMaxSide || pixels.height() > Metafile::kMaxSide) {
        l.problem = Problem::TooLarge;
        return false;
    }
    l.drawingOrigin = QPointF(pixels.topLeft());
    l.windowExt = QSizeF(pixels.size());
    l.size = pixels.size();
    return true;
}

// A WMF made from an EMF (GetWinMetaFileBits) carries that EMF whole, and drawn from it the
// picture is the one its writer made rather than the WMF's approximation. Only scanEmf reads the
// embedded bytes, and an EMF is never searched for a WMF, so there is one level and no more.
void attachEmbeddedEmf(Layout& l, qint64 fileSize)
{
    std::optional<QByteArray> bytes = wmf::readEmbeddedEmf(l.records, fileSize);
    if (!bytes)
        return;
    auto embedded = std::make_shared<EmbeddedEmf>();
    embedded->bytes = std::move(*bytes);
    embedded->layout = scanEmf(Bytes(embedded->bytes));
    if (embedded->layout.format == Format::Emf && embedded->layout.problem == Problem::None)
        l.embedded = std::move(embedded);
}

} // namespace

Layout scanWmf(Bytes file)
{
    Layout l;
    const std::optional<wmf::PlaceableHeader> placeable = wmf::readPlaceableHeader(file);
    const qint64 start = placeable ? wmf::kPlaceableHeaderSize : 0;
    const std::optional<wmf::Header> header = wmf::readHeader(file.from(start));
    if (!header || !header->standard()) {
        if (placeable)
            l.problem = Problem::Malformed;
        return l;
    }
    l.format = placeable ? Format::PlaceableWmf : Format::Wmf;
    l.problem = Problem::Malformed;
    l.objectCount = header->objects;

    bool boxed = false;
    if (placeable && !readPlaceableBox(*placeable, l, boxed))
        return l;
    std::optional<QSizeF> extent;
    QPointF origin;
    if (!walkRecords(file, start + wmf::kHeaderSize, l, extent, origin))
        return l; // a record cut short
    if (extent && (extent->width() == 0 || extent->height() == 0 || std::abs(extent->width()) < 1
                   || std::abs(extent->height()) < 1))
        extent.reset(); // a window with no area sizes nothing
    if (!boxed && !sizePlainFile(l, extent, origin))
        return l;
    if (l.size.width() < 1 || l.size.height() < 1 || l.windowExt.width() == 0 || l.windowExt.height() == 0)
        return l;
    l.problem = Problem::None;
    attachEmbeddedEmf(l, file.size());
    return l;
}

void playWmf(const Layout& layout, MetafileCanvas& canvas)
{
    if (layout.drawingOrigin) {
        canvas.shiftDevice(-*layout.drawingOrigin);
    } else {
        // As a viewer plays a placeable file: the bounding box (or the plain file's window)
        // fills the picture, and the records may move the window or viewport from there.
        canvas.setMapMode(gdi::MapMode::Anisotropic);
        canvas.setWindowOrg(layout.windowOrg);
        canvas.setWindowExt(layout.windowExt);
        canvas.setViewportOrg(QPointF(0, 0));
        canvas.setViewportExt(QSizeF(layout.size));
    }
    playRecords(layout, canvas);
}

} // namespace metafile

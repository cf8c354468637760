// Draws the program's built-in artwork and writes it, byte for byte, into the folder named on the
// command line. Everything is painted with QPainter, so the output is the same on every run.
//
//   make_artwork <folder>

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPoint>
#include <QRadialGradient>
#include <QRect>
#include <QString>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// File writers

void putU16(QByteArray& out, unsigned value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

void putU32(QByteArray& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xff));
}

void putBitmapInfoHeader(QByteArray& out, int width, int height, int bitCount, std::uint32_t imageSize,
                         std::uint32_t coloursUsed)
{
    putU32(out, 40);
    putU32(out, std::uint32_t(width));
    putU32(out, std::uint32_t(height));
    putU16(out, 1);
    putU16(out, unsigned(bitCount));
    putU32(out, 0); // BI_RGB
    putU32(out, imageSize);
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, coloursUsed);
    putU32(out, 0);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "short write to %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Uncompressed 24-bit bottom-up BMP. Written by hand rather than through QImageWriter so that
// the bit depth and the header fields cannot drift with the Qt version.
QByteArray encodeBmp24(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    const int stride = (width * 3 + 3) & ~3;
    const std::uint32_t pixelBytes = std::uint32_t(stride) * std::uint32_t(height);

    QByteArray out;
    out.append("BM");
    putU32(out, 14 + 40 + pixelBytes);
    putU32(out, 0);
    putU32(out, 14 + 40);
    putBitmapInfoHeader(out, width, height, 24, pixelBytes, 0);
    for (int y = height - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            out.append(char(qBlue(line[x])));
            out.append(char(qGreen(line[x])));
            out.append(char(qRed(line[x])));
        }
        for (int pad = width * 3; pad < stride; ++pad)
            out.append('\0');
    }
    return out;
}

// The sixteen colours of the VGA text palette, in their customary order.
constexpr std::array<QRgb, 16> kVga = {
    0xff000000, 0xff800000, 0xff008000, 0xff808000, 0xff000080, 0xff800080, 0xff008080, 0xffc0c0c0,
    0xff808080, 0xffff0000, 0xff00ff00, 0xffffff00, 0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff,
};

int nearestVga(QRgb colour)
{
    int best = 0;
    int bestDistance = 0x7fffffff;
    for (int i = 0; i < int(kVga.size()); ++i) {
        const int dr = qRed(colour) - qRed(kVga[i]);
        const int dg = qGreen(colour) - qGreen(kVga[i]);
        const int db = qBlue(colour) - qBlue(kVga[i]);
        const int distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

// A single square image in an ICO (type 1) or CUR (type 2) file: 4 bits per pixel with the VGA
// palette, plus the 1-bit AND mask. Pixels with alpha below one half are transparent. Qt's own
// ICO writer only writes 32-bit images, hence this.
QByteArray encodeIcon16(const QImage& source, int type, QPoint hotSpot = {})
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    Q_ASSERT(image.height() == size && size % 2 == 0 && size < 256);
    const int xorStride = (size / 2 + 3) & ~3;   // 4 bits a pixel, rows padded to 32 bits
    const int andStride = (size + 31) / 32 * 4;  // 1 bit a pixel, likewise
    const std::uint32_t xorBytes = std::uint32_t(xorStride * size);
    const std::uint32_t andBytes = std::uint32_t(andStride * size);
    const std::uint32_t resourceBytes = 40 + 16 * 4 + xorBytes + andBytes;

    QByteArray out;
    putU16(out, 0);
    putU16(out, unsigned(type));
    putU16(out, 1);
    out.append(char(size));
    out.append(char(size));
    out.append(char(16));
    out.append('\0');
    if (type == 2) {
        putU16(out, unsigned(hotSpot.x()));
        putU16(out, unsigned(hotSpot.y()));
    } else {
        putU16(out, 1); // planes
        putU16(out, 4); // bits per pixel
    }
    putU32(out, resourceBytes);
    putU32(out, 6 + 16);

    // The height counts the colour bitmap and the mask together.
    putBitmapInfoHeader(out, size, size * 2, 4, xorBytes + andBytes, 16);
    for (QRgb colour : kVga) {
        out.append(char(qBlue(colour)));
        out.append(char(qGreen(colour)));
        out.append(char(qRed(colour)));
        out.append('\0');
    }

    std::vector<std::uint8_t> index(size * size);
    std::vector<bool> transparent(size * size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QRgb pixel = image.pixel(x, y);
            const bool clear = qAlpha(pixel) < 128;
            transparent[y * size + x] = clear;
            // Transparent pixels must be black in the colour bitmap: the screen is ANDed with
            // the mask and then XORed with the colour.
            index[y * size + x] = clear ? 0 : std::uint8_t(nearestVga(pixel));
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; x += 2)
            out.append(char((index[y * size + x] << 4) | index[y * size + x + 1]));
        for (int pad = size / 2; pad < xorStride; ++pad)
            out.append('\0');
    }
    for (int y = size - 1; y >= 0; --y) {
        for (int byte = 0; byte < andStride; ++byte) {
            std::uint8_t bits = 0;
            for (int bit = 0; bit < 8 && byte * 8 + bit < size; ++bit) {
                if (transparent[y * size + byte * 8 + bit])
                    bits |= std::uint8_t(0x80 >> bit);
            }
            out.append(char(bits));
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Scales

// Every picture is laid out in the pixels of a 1x screen and drawn again for each scale below:
// the painter keeps working in 1x pixels while the image holds that many times more. At 1x the
// painter is not scaled at all.
struct Scale {
    qreal factor;
    const char* suffix; // put before a file's extension
};
constexpr Scale kScales[] = { { 1.0, "" }, { 1.5, "@1.5x" }, { 2.0, "@2x" } };

// An empty picture of `size` 1x pixels, drawn for `scale`. A fractional scale rounds the last
// pixel up, so nothing of the picture is cut off.
QImage canvas(QSize size, qreal scale, QImage::Format format)
{
    QImage image(int(std::ceil(size.width() * scale)), int(std::ceil(size.height() * scale)), format);
    image.setDevicePixelRatio(scale);
    return image;
}

// ---------------------------------------------------------------------------------------------
// Colours

const QColor kBackground(0xf0, 0xf0, 0xf0); // the window's own grey, around the bus
const QColor kOutline(0x3a, 0x40, 0x4a);
const QColor kBodyLight(0xff, 0xfe, 0xf9);
const QColor kBodyShade(0xee, 0xea, 0xde);
const QColor kBand(0x2f, 0x8f, 0xd8);
const QColor kBandDark(0x23, 0x72, 0xb3);
const QColor kAccent(0xf6, 0xa2, 0x2a);
const QColor kSkirt(0x4d, 0x55, 0x62);
const QColor kGlassTop(0x3e, 0x5c, 0x78);
const QColor kGlassBottom(0x22, 0x36, 0x4b);
const QColor kFrameBlack(0x15, 0x17, 0x1b);
const QColor kTyre(0x2a, 0x2c, 0x31);
const QColor kRim(0xc9, 0xce, 0xd6);
const QColor kRail(0xee, 0xa9, 0x35);
const QColor kRailLight(0xff, 0xdc, 0x8e);
const QColor kRailDark(0xb3, 0x75, 0x1c);
const QColor kSafetyYellow(0xe9, 0xc2, 0x33);

QRectF rectFromEdges(qreal left, qreal top, qreal right, qreal bottom)
{
    // Inclusive pixel edges, so that the numbers read like the pixel columns they cover.
    return QRectF(left, top, right - left + 1, bottom - top + 1);
}

// Glass seen from outside: sky reflected at the top, darker below, and a soft diagonal sheen.
void paintGlass(QPainter& p, const QPainterPath& shape, const QRectF& bounds)
{
    QLinearGradient fill(bounds.topLeft(), bounds.bottomLeft());
    fill.setColorAt(0.0, kGlassTop);
    fill.setColorAt(1.0, kGlassBottom);
    p.fillPath(shape, fill);

    p.save();
    p.setClipPath(shape, Qt::IntersectClip);
    // Two streaks at the same slant on every pane, so that wide windows and narrow door panes
    // reflect alike; they cross the middle of the pane.
    auto streak = [&](qreal centreX, qreal width, int alpha) {
        const qreal cy = bounds.center().y();
        const qreal rise = 0.6; // horizontal run per pixel of height
        const qreal top = bounds.top() - 1;
        const qreal bottom = bounds.bottom() + 1;
        QPainterPath band;
        band.moveTo(centreX + (cy - bottom) * rise, bottom);
        band.lineTo(centreX + (cy - top) * rise, top);
        band.lineTo(centreX + width + (cy - top) * rise, top);
        band.lineTo(centreX + width + (cy - bottom) * rise, bottom);
        band.closeSubpath();
        p.fillPath(band, QColor(255, 255, 255, alpha));
    };
    const qreal w = bounds.width();
    streak(bounds.left() + 0.22 * w, 0.22 * w + 3, 34);
    streak(bounds.left() + 0.56 * w, 0.06 * w + 1.5, 28);
    // A bright rim along the top edge, as on curved glass.
    p.fillRect(QRectF(bounds.left(), bounds.top(), bounds.width(), 2), QColor(255, 255, 255, 40));
    p.restore();
}

void paintWindow(QPainter& p, const QRectF& r, qreal radius = 5)
{
    QPainterPath shape;
    shape.addRoundedRect(r, radius, radius);
    p.fillPath(shape, kFrameBlack);
    const QRectF inner = r.adjusted(2, 2, -2, -2);
    QPainterPath glass;
    glass.addRoundedRect(inner, radius - 1.5, radius - 1.5);
    paintGlass(p, glass, inner);
}

// A vertical hand rail with a round look: a lit edge and a shaded edge.
void paintPole(QPainter& p, qreal left, qreal top, qreal bottom, qreal width = 4)
{
    const QRectF r(left, top, width, bottom - top);
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0.0, kRailDark);
    g.setColorAt(0.35, kRailLight);
    g.setColorAt(0.6, kRail);
    g.setColorAt(1.0, kRailDark);
    p.fillRect(r, g);
}

void paintHorizontalRail(QPainter& p, qreal left, qreal right, qreal top, qreal height = 3)
{
    const QRectF r(left, top, right - left, height);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, kRailLight);
    g.setColorAt(1.0, kRailDark);
    p.fillRect(r, g);
}

// A forward-facing seat in profile: the front of the bus, and so the front of the seat, is to
// the left. `x` is the front edge of the cushion.
void paintSeat(QPainter& p, qreal x, qreal floorY)
{
    const QColor cloth(0x3d, 0x68, 0x9e);
    const QColor clothDark(0x30, 0x55, 0x85);
    const QColor frame(0x4a, 0x4d, 0x54);
    QPainterPath pedestal;
    pedestal.moveTo(x + 10, floorY - 30);
    pedestal.lineTo(x + 20, floorY - 30);
    pedestal.lineTo(x + 22, floorY);
    pedestal.lineTo(x + 8, floorY);
    pedestal.closeSubpath();
    p.fillPath(pedestal, frame);
    QPainterPath back;
    back.moveTo(x + 23, floorY - 34);
    back.lineTo(x + 32, floorY - 34);
    back.lineTo(x + 36, floorY - 82);
    back.quadTo(x + 36, floorY - 87, x + 31, floorY - 87);
    back.lineTo(x + 30, floorY - 87);
    back.quadTo(x + 27, floorY - 87, x + 27, floorY - 82);
    back.closeSubpath();
    p.fillPath(back, clothDark);
    QPainterPath cushion;
    cushion.addRoundedRect(QRectF(x, floorY - 40, 32, 10), 4, 4);
    p.fillPath(cushion, cloth);
    p.fillRect(QRectF(x + 3, floorY - 40, 26, 2), cloth.lighter(125));
    // Grab handle on top of the back.
    QPainterPath handle;
    handle.addRoundedRect(QRectF(x + 26, floorY - 92, 12, 5), 2, 2);
    p.fillPath(handle, kRail);
}

// The cabin seen through a doorway. `area` is the doorway in body pixels; the walls, windows and
// seats are placed relative to it so both doorways share the same look.
struct DoorwayInterior {
    QRect area;
    int floorY;      // top of the raised floor, where the yellow nosing is
    int stepY;       // top of the step tread
    bool middle;     // the wider middle doorway shows seats and straps; the front one the fare box
};

void paintInterior(QPainter& p, const DoorwayInterior& d)
{
    const QRectF a(d.area);
    p.save();
    p.setClipRect(a);

    // Far wall, darker towards the ceiling where the light does not reach.
    QLinearGradient wall(a.topLeft(), a.bottomLeft());
    wall.setColorAt(0.0, QColor(0x4f, 0x4c, 0x49));
    wall.setColorAt(0.55, QColor(0x78, 0x73, 0x6b));
    wall.setColorAt(1.0, QColor(0x6a, 0x66, 0x60));
    p.fillRect(a, wall);

    // Windows on the far side of the cabin: bright daylight, seen through the bus.
    const qreal winTop = a.top() + 14;
    const qreal winBottom = a.top() + 58;
    const int panes = d.middle ? 2 : 1;
    const qreal inset = d.middle ? 8 : 9;
    const qreal gap = 8;
    const qreal paneWidth = (a.width() - 2 * inset - (panes - 1) * gap) / panes;
    for (int i = 0; i < panes; ++i) {
        const QRectF pane(a.left() + inset + i * (paneWidth + gap), winTop, paneWidth, winBottom - winTop);
        p.fillRect(pane.adjusted(-2, -2, 2, 2), QColor(0x3c, 0x3a, 0x38));
        QLinearGradient sky(pane.topLeft(), pane.bottomLeft());
        sky.setColorAt(0.0, QColor(0xb9, 0xd3, 0xe4));
        sky.setColorAt(0.7, QColor(0x9c, 0xbc, 0xd2));
        sky.setColorAt(0.71, QColor(0x8f, 0xa9, 0x86)); // trees beyond the road
        sky.setColorAt(1.0, QColor(0x7d, 0x98, 0x74));
        p.fillRect(pane, sky);
        p.fillRect(QRectF(pane.left(), pane.top() + 12, pane.width(), 2), QColor(0x3c, 0x3a, 0x38));
    }

    // Ceiling with its strip light.
    p.fillRect(QRectF(a.left(), a.top(), a.width(), 8), QColor(0x3d, 0x3a, 0x37));
    p.fillRect(QRectF(a.left(), a.top() + 3, a.width(), 3), QColor(0xe6, 0xe1, 0xcc));

    // Floor and step.
    const qreal floorY = d.floorY;
    const qreal stepY = d.stepY;
    p.fillRect(QRectF(a.left(), floorY - 10, a.width(), 10), QColor(0x57, 0x59, 0x5e)); // far floor
    p.fillRect(QRectF(a.left(), floorY, a.width(), stepY - floorY), QColor(0x3b, 0x3d, 0x42)); // riser
    p.fillRect(QRectF(a.left(), floorY, a.width(), 3), kSafetyYellow);
    p.fillRect(QRectF(a.left(), stepY, a.width(), a.bottom() - stepY), QColor(0x6b, 0x6d, 0x72));
    p.fillRect(QRectF(a.left(), stepY, a.width(), 3), kSafetyYellow);
    p.fillRect(QRectF(a.left(), stepY + 3, a.width(), 1), QColor(0x8a, 0x72, 0x22));

    if (d.middle) {
        paintSeat(p, a.left() + 20, floorY - 10);
        paintSeat(p, a.left() + 64, floorY - 10);
        // Straps hanging from a ceiling rail.
        paintHorizontalRail(p, a.left(), a.right(), a.top() + 10, 3);
        for (qreal sx : { a.left() + 36.0, a.left() + 57.0, a.left() + 78.0 }) {
            p.fillRect(QRectF(sx - 1, a.top() + 13, 2, 10), QColor(0xe0, 0xdc, 0xd0));
            QPainterPath loop;
            loop.addEllipse(QRectF(sx - 5, a.top() + 22, 10, 10));
            loop.addEllipse(QRectF(sx - 3, a.top() + 24, 6, 6));
            loop.setFillRule(Qt::OddEvenFill);
            p.fillPath(loop, kRail);
        }
        paintPole(p, a.left() + 12, a.top() + 8, floorY, 4);
        paintPole(p, a.right() - 15, a.top() + 8, floorY, 4);
    } else {
        // Fare box by the driver, then the entrance pole.
        const QRectF box(a.right() - 22, floorY - 62, 20, 52);
        QPainterPath fareBox;
        fareBox.addRoundedRect(box, 3, 3);
        p.fillPath(fareBox, QColor(0x38, 0x3b, 0x42));
        p.fillRect(QRectF(box.left() + 4, box.top() + 6, 12, 7), QColor(0x4c, 0xc9, 0x7a));
        p.fillRect(QRectF(box.left() + 4, box.top() + 18, 12, 3), QColor(0x22, 0x24, 0x28));
        p.fillRect(QRectF(box.left() + 3, box.top() + 30, 14, 14), QColor(0x4a, 0x4e, 0x56));
        paintHorizontalRail(p, a.left() + 6, a.right() - 22, a.top() + 68, 3);
        paintPole(p, a.left() + 10, a.top() + 8, floorY, 4);
    }

    // The whole cabin sits in shade compared with the sunlit body.
    p.fillRect(a, QColor(0x10, 0x12, 0x20, 60));
    // The jambs throw a shadow on the left and top; the right and bottom edge pixels are only
    // uncovered by a shut door by a hair, so they get the dark rubber seal.
    QLinearGradient left(a.topLeft(), a.topLeft() + QPointF(7, 0));
    left.setColorAt(0.0, QColor(0, 0, 0, 120));
    left.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.fillRect(QRectF(a.left(), a.top(), 7, a.height()), left);
    QLinearGradient top(a.topLeft(), a.topLeft() + QPointF(0, 6));
    top.setColorAt(0.0, QColor(0, 0, 0, 120));
    top.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.fillRect(QRectF(a.left(), a.top(), a.width(), 6), top);
    p.fillRect(QRectF(d.area.right(), a.top(), 1, a.height()), kFrameBlack);
    p.fillRect(QRectF(a.left(), d.area.bottom(), a.width(), 1), kFrameBlack);
    p.restore();
}

void paintWheel(QPainter& p, QPointF c)
{
    auto disc = [&](qreal r, const QBrush& brush) {
        p.setPen(Qt::NoPen);
        p.setBrush(brush);
        p.drawEllipse(c, r, r);
    };
    disc(31, kTyre);
    disc(28.5, QColor(0x36, 0x38, 0x3e));
    disc(26.5, kTyre);
    QRadialGradient rim(c - QPointF(5, 6), 24);
    rim.setColorAt(0.0, QColor(0xf2, 0xf4, 0xf7));
    rim.setColorAt(1.0, QColor(0xa7, 0xad, 0xb6));
    disc(18, rim);
    disc(14.5, QColor(0xb5, 0xbb, 0xc4));
    disc(13, kRim);
    for (int i = 0; i < 6; ++i) {
        const qreal angle = i * 60.0 * 3.14159265358979 / 180.0;
        const QPointF nut = c + QPointF(std::cos(angle) * 9, std::sin(angle) * 9);
        p.setBrush(QColor(0x8c, 0x93, 0x9d));
        p.drawEllipse(nut, 1.8, 1.8);
    }
    disc(5, QColor(0x7d, 0x84, 0x8f));
    disc(2.5, QColor(0x5c, 0x62, 0x6c));
}

// ---------------------------------------------------------------------------------------------
// Bus body, 808 x 224, seen from the left with the front to the left.

constexpr QRect kFrontDoorway(26, 53, 78, 152);   // x 26..103, y 53..204
constexpr QRect kMiddleDoorway(365, 53, 115, 156); // x 365..479, y 53..208
constexpr QRect kSignRecess(499, 41, 53, 33);      // x 499..551, y 41..73

constexpr int kBodyTop = 6;
constexpr int kBodyBottom = 211;
constexpr int kBodyRight = 804;
constexpr int kWindowTop = 32;
constexpr int kWindowBottom = 94;
constexpr QPointF kFrontWheel(158, 191);
constexpr QPointF kRearWheel(672, 191);

QPainterPath bodyOutline()
{
    QPainterPath body;
    body.moveTo(6, kBodyBottom);
    body.quadTo(2, kBodyBottom, 2, kBodyBottom - 4);
    body.lineTo(2, 70);
    body.cubicTo(2, 26, 14, kBodyTop, 52, kBodyTop);
    body.lineTo(kBodyRight - 18, kBodyTop);
    body.quadTo(kBodyRight, kBodyTop, kBodyRight, kBodyTop + 18);
    body.lineTo(kBodyRight, kBodyBottom - 4);
    body.quadTo(kBodyRight, kBodyBottom, kBodyRight - 4, kBodyBottom);
    body.closeSubpath();
    return body;
}

QImage drawBusBody(qreal scale)
{
    QImage image = canvas({ 808, 224 }, scale, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // Soft shadow on the road, fading out at both ends.
    {
        QLinearGradient along(0, 0, 808, 0);
        along.setColorAt(0.0, QColor(0, 0, 0, 0));
        along.setColorAt(0.06, QColor(0, 0, 0, 40));
        along.setColorAt(0.94, QColor(0, 0, 0, 40));
        along.setColorAt(1.0, QColor(0, 0, 0, 0));
        p.fillRect(QRectF(0, 212, 808, 12), along);
        p.fillRect(QRectF(0, 218, 808, 6), QColor(0xf0, 0xf0, 0xf0, 90));
    }

    // Air conditioner on the roof.
    {
        QPainterPath unit;
        unit.addRoundedRect(QRectF(430, 0, 210, 12), 5, 5);
        p.fillPath(unit, kOutline);
        QPainterPath inner;
        inner.addRoundedRect(QRectF(432, 2, 206, 9), 4, 4);
        QLinearGradient g(0, 2, 0, 11);
        g.setColorAt(0.0, QColor(0xf4, 0xf5, 0xf6));
        g.setColorAt(1.0, QColor(0xcf, 0xd3, 0xd8));
        p.fillPath(inner, g);
        for (int x = 470; x < 610; x += 10)
            p.fillRect(QRectF(x, 5, 6, 1), QColor(0xa9, 0xae, 0xb6));
    }

    const QPainterPath body = bodyOutline();

    // Body with an outline, lit from above.
    {
        QPainterPathStroker stroker;
        stroker.setWidth(4);
        p.fillPath(stroker.createStroke(body).united(body), kOutline);
        QLinearGradient g(0, kBodyTop, 0, kBodyBottom);
        g.setColorAt(0.0, kBodyLight);
        g.setColorAt(1.0, kBodyShade);
        p.fillPath(body, g);
    }

    p.save();
    p.setClipPath(body);

    // Roof edge catching the light, and the rain gutter below it.
    p.fillRect(QRectF(0, kBodyTop, 808, 3), QColor(255, 255, 255));
    p.fillRect(QRectF(30, 22, 776, 1.5), QColor(0xd6, 0xd2, 0xc6));

    // Colour band with a thin accent line above it; it sweeps up towards the rear.
    {
        QPainterPath band;
        band.moveTo(0, 150);
        band.lineTo(610, 150);
        band.cubicTo(690, 150, 730, 112, 808, 104);
        band.lineTo(808, 188);
        band.lineTo(0, 188);
        band.closeSubpath();
        QPainterPath accent;
        accent.moveTo(0, 143);
        accent.lineTo(598, 143);
        accent.cubicTo(680, 143, 720, 104, 808, 96);
        accent.lineTo(808, 100);
        accent.cubicTo(724, 108, 684, 147, 602, 147);
        accent.lineTo(0, 147);
        accent.closeSubpath();
        QLinearGradient g(0, 104, 0, 188);
        g.setColorAt(0.0, kBand.lighter(108));
        g.setColorAt(1.0, kBandDark);
        p.fillPath(band, g);
        p.fillPath(accent, kAccent);
    }

    // Lower skirt.
    p.fillRect(QRectF(0, 188, 808, 30), kSkirt);
    p.fillRect(QRectF(0, 188, 808, 1.5), QColor(0x36, 0x3d, 0x48));

    p.restore();

    // Windscreen wrapping round the front corner. Antialiasing blends its edge into the outline,
    // so the outline is drawn again over it.
    {
        QPainterPath screen;
        screen.moveTo(-4, 118);
        screen.lineTo(-4, 48);
        screen.quadTo(6, 23, 23, 19);
        screen.lineTo(23, 118);
        screen.closeSubpath();
        screen = screen.intersected(body);
        p.fillPath(screen, kFrameBlack);
        QPainterPath glass;
        glass.moveTo(-4, 116);
        glass.lineTo(-4, 52);
        glass.quadTo(7, 27, 21, 22);
        glass.lineTo(21, 116);
        glass.closeSubpath();
        glass = glass.intersected(body);
        paintGlass(p, glass, QRectF(2, 22, 20, 95));
        QPainterPath outside;
        outside.addRect(QRectF(0, 0, 40, 140));
        p.save();
        p.setClipPath(outside.subtracted(body));
        p.strokePath(body, QPen(kOutline, 4));
        p.restore();
    }

    // Side windows: three between the doors, three behind the destination sign.
    for (const QRectF& w : { rectFromEdges(112, kWindowTop, 190, kWindowBottom),
                             rectFromEdges(196, kWindowTop, 274, kWindowBottom),
                             rectFromEdges(280, kWindowTop, 354, kWindowBottom),
                             rectFromEdges(570, kWindowTop, 642, kWindowBottom),
                             rectFromEdges(648, kWindowTop, 720, kWindowBottom),
                             rectFromEdges(726, kWindowTop, 790, kWindowBottom) }) {
        paintWindow(p, w);
        // The top light slides open.
        p.fillRect(QRectF(w.left() + 2, kWindowTop + 18, w.width() - 4, 2), kFrameBlack);
    }

    // Destination sign housing, with the recess the sign box sits in.
    {
        QPainterPath housing;
        housing.addRoundedRect(rectFromEdges(493, 35, 557, 79), 4, 4);
        p.fillPath(housing, kOutline);
        p.fillRect(rectFromEdges(kSignRecess.left(), kSignRecess.top(), kSignRecess.right(), kSignRecess.bottom()),
                   QColor(0x1b, 0x1d, 0x22));
        p.fillRect(rectFromEdges(495, 36, 555, 37), QColor(0x5a, 0x61, 0x6c));
    }

    // Doorway surrounds, then the cabin inside.
    for (const QRect& d : { kFrontDoorway, kMiddleDoorway }) {
        QPainterPath surround;
        surround.addRoundedRect(QRectF(d).adjusted(-3, -3, 3, 3), 3, 3);
        p.fillPath(surround, kOutline);
    }
    paintInterior(p, { kFrontDoorway, 184, 194, false });
    paintInterior(p, { kMiddleDoorway, 190, 199, true });

    // Wheel arches: the dark wheel well, clipped to the body, and a lip around it.
    for (QPointF c : { kFrontWheel, kRearWheel }) {
        p.save();
        p.setClipPath(body);
        QPainterPath lip;
        lip.addEllipse(c, 40, 40);
        p.fillPath(lip, kOutline);
        QPainterPath well;
        well.addEllipse(c, 37, 37);
        p.fillPath(well, QColor(0x26, 0x28, 0x2d));
        p.restore();
        paintWheel(p, c);
    }

    // Front: headlight, indicator and bumper.
    {
        QPainterPath lamp;
        lamp.addRoundedRect(rectFromEdges(1, 156, 14, 172), 4, 4);
        p.fillPath(lamp, kOutline);
        QPainterPath lens;
        lens.addRoundedRect(rectFromEdges(3, 158, 12, 170), 3, 3);
        QRadialGradient g(QPointF(6, 162), 10);
        g.setColorAt(0.0, QColor(0xff, 0xff, 0xff));
        g.setColorAt(1.0, QColor(0xff, 0xe9, 0x9c));
        p.fillPath(lens, g);
        QPainterPath indicator;
        indicator.addRoundedRect(rectFromEdges(3, 176, 12, 181), 2, 2);
        p.fillPath(indicator, QColor(0xf7, 0x9a, 0x1e));

        QPainterPath bumper;
        bumper.addRoundedRect(rectFromEdges(0, 194, 24, 214), 4, 4);
        p.fillPath(bumper, QColor(0x3e, 0x44, 0x4e));
        p.fillRect(rectFromEdges(2, 196, 22, 197), QColor(0x6a, 0x72, 0x7e));
    }

    // Rear: tail lights and bumper.
    {
        QPainterPath lamp;
        lamp.addRoundedRect(rectFromEdges(792, 126, 805, 176), 4, 4);
        p.fillPath(lamp, kOutline);
        p.fillRect(rectFromEdges(794, 128, 803, 150), QColor(0xe8, 0x3b, 0x3b));
        p.fillRect(rectFromEdges(794, 152, 803, 162), QColor(0xf7, 0x9a, 0x1e));
        p.fillRect(rectFromEdges(794, 164, 803, 174), QColor(0xf4, 0xf4, 0xf4));
        QPainterPath bumper;
        bumper.addRoundedRect(rectFromEdges(760, 194, 806, 214), 4, 4);
        p.fillPath(bumper, QColor(0x3e, 0x44, 0x4e));
        p.fillRect(rectFromEdges(762, 196, 804, 197), QColor(0x6a, 0x72, 0x7e));
    }

    // Side marker lamps along the skirt.
    for (qreal x : { 250.0, 540.0 }) {
        QPainterPath lamp;
        lamp.addRoundedRect(QRectF(x, 196, 12, 6), 2.5, 2.5);
        p.fillPath(lamp, QColor(0xf7, 0x9a, 0x1e));
    }

    // The bus's name on the rear panel.
    {
        QFont font(QStringLiteral("IPAPGothic"));
        font.setPixelSize(20);
        font.setBold(true);
        p.setFont(font);
        p.setPen(kBandDark);
        p.drawText(rectFromEdges(574, 101, 690, 131), Qt::AlignCenter, QStringLiteral("くるりん号"));
    }

    p.end();
    return image;
}

// ---------------------------------------------------------------------------------------------
// Doors

QImage drawFrontDoor(qreal scale)
{
    QImage image = canvas({ 69, 152 }, scale, QImage::Format_RGB32);
    image.fill(kFrameBlack);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // Two panes, split by the fold of the door.
    for (const QRectF& pane : { rectFromEdges(4, 4, 31, 141), rectFromEdges(37, 4, 64, 141) }) {
        QPainterPath glass;
        glass.addRoundedRect(pane, 3, 3);
        paintGlass(p, glass, pane);
    }
    // Kick plate at the bottom.
    p.fillRect(rectFromEdges(4, 144, 64, 148), QColor(0x3a, 0x3e, 0x45));
    p.end();
    return image;
}

QImage drawMiddleDoorLeftLeaf(qreal scale)
{
    QImage image = canvas({ 56, 152 }, scale, QImage::Format_RGB32);
    image.fill(kFrameBlack);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (const QRectF& pane : { rectFromEdges(4, 4, 24, 141), rectFromEdges(30, 4, 50, 141) }) {
        QPainterPath glass;
        glass.addRoundedRect(pane, 3, 3);
        paintGlass(p, glass, pane);
    }
    p.fillRect(rectFromEdges(4, 144, 50, 148), QColor(0x3a, 0x3e, 0x45));
    p.end();
    return image;
}

// ---------------------------------------------------------------------------------------------
// Destination sign and toggle pictures

QImage drawDefaultSign(qreal scale)
{
    QImage image = canvas({ 52, 32 }, scale, QImage::Format_RGB32);
    image.fill(QColor(0x5c, 0x60, 0x66));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QColor yellow(0xff, 0xd4, 0x1c);
    for (int i = 0; i < 3; ++i) {
        const qreal x = 5 + i * 15;
        QPainterPath arrow;
        arrow.moveTo(x, 16);
        arrow.lineTo(x + 9, 7);
        arrow.lineTo(x + 14, 7);
        arrow.lineTo(x + 5, 16);
        arrow.lineTo(x + 14, 25);
        arrow.lineTo(x + 9, 25);
        arrow.closeSubpath();
        p.fillPath(arrow, yellow);
    }
    p.end();
    return image;
}

QImage drawToggle(const QString& text, qreal scale)
{
    // Unsmoothed glyphs struck twice, one pixel apart, give a crisp bold: the font has no bold
    // face of its own, and a smoothed synthetic bold turns grey and blurred at this size.
    // The glyphs are set at the scaled size in the image's own pixels rather than enlarged by
    // the painter, so the font's hinting fits them to that grid; enlarged unsmoothed glyphs
    // lose their thin strokes at 1.5x.
    QImage ink = canvas({ 50, 20 }, scale, QImage::Format_ARGB32);
    ink.setDevicePixelRatio(1.0);
    ink.fill(Qt::transparent);
    {
        QPainter p(&ink);
        QFont font(QStringLiteral("IPAPGothic"));
        font.setStyleStrategy(QFont::NoAntialias);
        font.setHintingPreference(QFont::PreferFullHinting);
        // Two kanji take 16 pixels; a longer English word is set smaller until it fits, with a
        // pixel of yellow left at each side.
        for (int size = 16; size >= 9; --size) {
            font.setPixelSize(qRound(size * scale));
            if (QFontMetrics(font).horizontalAdvance(text) + std::floor(scale) <= 47 * scale)
                break;
        }
        p.setFont(font);
        p.setPen(Qt::black);
        const QSizeF box(49 * scale, 20 * scale);
        p.drawText(QRectF(QPointF(0, 0), box), Qt::AlignCenter, text);
        // Whole pixels apart: at 1.5x a stroke is still one pixel wide, and two would leave a gap.
        p.drawText(QRectF(QPointF(std::floor(scale), 0), box), Qt::AlignCenter, text);
    }
    ink.setDevicePixelRatio(scale);

    // Centre the ink itself rather than the font's line box, whose descent would push the
    // characters up. Measured and moved in the image's own pixels.
    QRect bounds;
    for (int y = 0; y < ink.height(); ++y) {
        for (int x = 0; x < ink.width(); ++x) {
            if (qAlpha(ink.pixel(x, y)) != 0)
                bounds |= QRect(x, y, 1, 1);
        }
    }

    QImage image = canvas({ 50, 20 }, scale, QImage::Format_RGB32);
    image.fill(QColor(0xff, 0xe1, 0x00));
    QPainter p(&image);
    const QPoint offset((image.width() - bounds.width()) / 2 - bounds.left(),
                        (image.height() - bounds.height()) / 2 - bounds.top());
    p.drawImage(QPointF(offset) / scale, ink);
    p.end();
    return image;
}

// ---------------------------------------------------------------------------------------------
// Icon and cursor

// The bus head-on, painted straight in VGA colours with antialiasing off: at 32 x 32 and 16
// colours, blended edges would only quantise to stray colours.
QImage drawIcon(qreal scale)
{
    QImage image = canvas({ 32, 32 }, scale, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    const QColor black(kVga[0]), navy(kVga[4]), teal(kVga[6]), silver(kVga[7]), grey(kVga[8]),
        yellow(kVga[11]), blue(kVga[12]), aqua(kVga[14]), white(kVga[15]);
    auto fill = [&](int l, int t, int r, int b, const QColor& c) { p.fillRect(QRect(QPoint(l, t), QPoint(r, b)), c); };

    // Mirrors on their arms, the way Japanese buses wear them.
    fill(1, 7, 2, 7, black);
    fill(0, 8, 1, 13, black);
    fill(29, 7, 30, 7, black);
    fill(30, 8, 31, 13, black);

    // Body with rounded top corners.
    fill(4, 1, 27, 1, black);
    fill(3, 2, 28, 27, black);
    fill(5, 2, 26, 2, white);
    fill(4, 3, 27, 26, white);
    fill(4, 2, 4, 2, silver);
    fill(27, 2, 27, 2, silver);

    // Destination display: a few yellow characters.
    fill(7, 3, 24, 7, black);
    static const char* const lettering[3] = {
        "X.X.XXX.X...XXX",
        "XXX..X..XXX..X.",
        "X.X.XXX.X.X.X.X",
    };
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; lettering[row][col] != '\0'; ++col) {
            if (lettering[row][col] == 'X')
                fill(9 + col, 4 + row, 9 + col, 4 + row, yellow);
        }
    }

    // Windscreen, two panes either side of the centre pillar, each with a glint.
    fill(4, 9, 27, 18, black);
    fill(5, 10, 14, 17, navy);
    fill(17, 10, 26, 17, navy);
    fill(5, 10, 14, 10, teal);
    fill(17, 10, 26, 10, teal);
    for (int i = 0; i < 4; ++i) {
        fill(7 + i, 16 - i, 7 + i, 16 - i, aqua);
        fill(19 + i, 16 - i, 19 + i, 16 - i, aqua);
    }

    // Colour band, lamps and number plate.
    fill(4, 19, 27, 21, blue);
    fill(5, 22, 8, 24, black);
    fill(6, 23, 7, 23, yellow);
    fill(23, 22, 26, 24, black);
    fill(24, 23, 25, 23, yellow);
    fill(13, 22, 18, 24, black);
    fill(14, 23, 17, 23, white);

    // Bumper and wheels.
    fill(2, 25, 29, 28, black);
    fill(3, 26, 28, 27, grey);
    fill(4, 29, 9, 31, black);
    fill(22, 29, 27, 31, black);
    fill(5, 29, 8, 30, grey);
    fill(23, 29, 26, 30, grey);
    p.end();
    return image;
}

// A pointing hand, index finger up. A cursor wants every pixel placed by hand, so it is drawn
// as a map: X black outline, o white, anything else transparent. The fingertip is at (12, 1).
QImage drawHandCursor(qreal scale)
{
    static const char* const rows[32] = {
        "................................",
        "...........XXX..................",
        "..........XoooX.................",
        "..........XoooX.................",
        "..........XoooX.................",
        "..........XoooX.................",
        "..........XoooX.................",
        "..........XoooXXX...............",
        "..........XoooXooXXX............",
        "..........XoooXooXooXX..........",
        "..........XoooXooXooXooX........",
        "..........XoooXooXooXooX........",
        ".....XX...XoooooooooooooX.......",
        "....XooX..XoooooooooooooX.......",
        "....XoooX.XoooooooooooooX.......",
        ".....XoooXXoooooooooooooX.......",
        "......XooooooooooooooooX........",
        "......XooooooooooooooooX........",
        ".......XoooooooooooooooX........",
        ".......XoooooooooooooooX........",
        "........XoooooooooooooX.........",
        "........XoooooooooooooX.........",
        ".........XoooooooooooX..........",
        ".........XoooooooooooX..........",
        ".........XXXXXXXXXXXXX..........",
        "................................",
        "................................",
        "................................",
        "................................",
        "................................",
        "................................",
        "................................",
    };
    QImage image = canvas({ 32, 32 }, scale, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (rows[y][x] == 'X')
                p.fillRect(QRect(x, y, 1, 1), QColor(kVga[0]));
            else if (rows[y][x] == 'o')
                p.fillRect(QRect(x, y, 1, 1), QColor(kVga[15]));
        }
    }
    p.end();
    return image;
}

// The cursor's hot spot in the pixels of the picture drawn for `scale`: the topmost pixel of the
// fingertip's middle column.
QPoint handHotSpot(const QImage& cursor, qreal scale)
{
    const int x = int(std::floor((12 + 0.5) * scale));
    for (int y = 0; y < cursor.height(); ++y) {
        if (qAlpha(cursor.pixel(x, y)) >= 128)
            return { x, y };
    }
    return { x, 0 };
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    if (argc != 2) {
        std::fprintf(stderr, "usage: make_artwork <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists()) {
        std::fprintf(stderr, "no such folder: %s\n", argv[1]);
        return 2;
    }

    // The lettering must come out the same everywhere; a substituted font would not.
    const QFontInfo info(QFont(QStringLiteral("IPAPGothic")));
    if (info.family() != QStringLiteral("IPAPGothic")) {
        std::fprintf(stderr, "the font IPAPGothic is not installed (got %s)\n", qPrintable(info.family()));
        return 1;
    }

    for (const Scale& scale : kScales) {
        const qreal s = scale.factor;
        const QImage leftLeaf = drawMiddleDoorLeftLeaf(s);
        const QImage hand = drawHandCursor(s);
        const struct {
            const char* stem;
            const char* extension;
            QByteArray bytes;
        } files[] = {
            { "bus_body", "bmp", encodeBmp24(drawBusBody(s)) },
            { "front_door", "bmp", encodeBmp24(drawFrontDoor(s)) },
            { "middle_door_left", "bmp", encodeBmp24(leftLeaf) },
            { "middle_door_right", "bmp", encodeBmp24(leftLeaf.mirrored(true, false)) },
            { "sign_default", "bmp", encodeBmp24(drawDefaultSign(s)) },
            { "bus", "ico", encodeIcon16(drawIcon(s), 1) },
            { "toggle_front", "bmp", encodeBmp24(drawToggle(QStringLiteral("前扉"), s)) },
            { "toggle_middle", "bmp", encodeBmp24(drawToggle(QStringLiteral("中扉"), s)) },
            { "toggle_front_en", "bmp", encodeBmp24(drawToggle(QStringLiteral("Front"), s)) },
            { "toggle_middle_en", "bmp", encodeBmp24(drawToggle(QStringLiteral("Middle"), s)) },
            { "hand", "cur", encodeIcon16(hand, 2, handHotSpot(hand, s)) },
        };
        for (const auto& file : files) {
            const QString name = QString::fromLatin1(file.stem) + QLatin1String(scale.suffix) + u'.' + QLatin1String(file.extension);
            if (!writeFile(out.filePath(name), file.bytes))
                return 1;
        }
    }
    return 0;
}

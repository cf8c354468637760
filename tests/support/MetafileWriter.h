#pragma once

// Writes WMF and EMF files record by record, byte by byte, for the metafile tests, the fuzz
// seeds and the benchmark. Only as much of each record as the player reads is filled in; the
// bounds rectangles GDI would write are left zero.

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>
#include <QTransform>

#include <cstring>
#include <initializer_list>

namespace mfw {

// With KURURIN_WRITER_DUMP_DIR set, every file written is also saved there under its content's
// hash, so a change to the players can be checked against the pictures the tests make.
inline QByteArray keptForComparison(const QByteArray& file, const char* suffix)
{
    const QByteArray dir = qgetenv("KURURIN_WRITER_DUMP_DIR");
    if (!dir.isEmpty()) {
        const QByteArray hash = QCryptographicHash::hash(file, QCryptographicHash::Sha1).toHex();
        QFile out(QString::fromLocal8Bit(dir + '/' + hash + suffix));
        if (out.open(QIODevice::WriteOnly))
            out.write(file);
    }
    return file;
}

class Bytes {
public:
    Bytes& u8(int v)
    {
        d.append(char(v & 0xFF));
        return *this;
    }
    Bytes& u16(int v) { return u8(v).u8(v >> 8); }
    Bytes& i16(int v) { return u16(quint16(qint16(v))); }
    Bytes& u32(quint32 v) { return u16(int(v & 0xFFFF)).u16(int(v >> 16)); }
    Bytes& i32(qint32 v) { return u32(quint32(v)); }
    Bytes& f32(float v)
    {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    Bytes& raw(QByteArrayView b)
    {
        d.append(b);
        return *this;
    }
    Bytes& zeros(int n)
    {
        d.append(n, '\0');
        return *this;
    }
    Bytes& padTo(int multiple)
    {
        while (d.size() % multiple)
            u8(0);
        return *this;
    }
    QByteArray d;
};

// A COLORREF.
inline quint32 rgb(int r, int g, int b)
{
    return quint32(r) | quint32(g) << 8 | quint32(b) << 16;
}

enum : quint32 {
    SrcCopy = 0x00CC0020,
    SrcAnd = 0x008800C6,
    SrcInvert = 0x00660046,
    SrcPaint = 0x00EE0086,
    PatCopy = 0x00F00021,
};

// A device-independent bitmap: BITMAPINFOHEADER and colour table, and the pixels, bottom row
// first unless topDown. Paletted depths take their palette from the image's colours.
struct Dib {
    QByteArray info;
    QByteArray bits;
    QByteArray packed() const { return info + bits; }
};

inline Dib makeDib(const QImage& source, int bitCount, bool topDown = false)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QList<QRgb> palette;
    if (bitCount <= 8) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (!palette.contains(image.pixel(x, y)))
                    palette.append(image.pixel(x, y));
        while (palette.size() < (1 << bitCount))
            palette.append(qRgb(0, 0, 0));
    }
    Bytes info;
    info.u32(40).i32(image.width()).i32(topDown ? -image.height() : image.height()).u16(1).u16(bitCount);
    info.u32(0).u32(0).i32(3780).i32(3780).u32(bitCount <= 8 ? quint32(palette.size()) : 0).u32(0);
    for (QRgb c : palette)
        info.u8(qBlue(c)).u8(qGreen(c)).u8(qRed(c)).u8(0);
    Bytes bits;
    for (int row = 0; row < image.height(); ++row) {
        const int y = topDown ? row : image.height() - 1 - row;
        const int start = int(bits.d.size());
        int acc = 0;
        int filled = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (bitCount <= 8) {
                acc = acc << bitCount | int(palette.indexOf(c));
                filled += bitCount;
                if (filled == 8) {
                    bits.u8(acc);
                    acc = filled = 0;
                }
            } else if (bitCount == 24) {
                bits.u8(qBlue(c)).u8(qGreen(c)).u8(qRed(c));
            } else {
                bits.u8(qBlue(c)).u8(qGreen(c)).u8(qRed(c)).u8(0);
            }
        }
        if (filled > 0)
            bits.u8(acc << (8 - filled));
        while ((bits.d.size() - start) % 4)
            bits.u8(0);
    }
    return { info.d, bits.d };
}

// Shift_JIS bytes, written out so the tests do not depend on an encoder.
inline QByteArray sjis(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes)
        out.append(char(b));
    return out;
}

class Wmf {
public:
    Wmf& record(quint16 function, const Bytes& params)
    {
        Bytes r;
        r.u32(quint32(3 + (params.d.size() + 1) / 2)).u16(function).raw(params.d).padTo(2);
        m_records.append(r.d);
        m_maxRecord = std::max<qsizetype>(m_maxRecord, r.d.size() / 2);
        return *this;
    }
    Wmf& words(quint16 function, std::initializer_list<int> values)
    {
        Bytes b;
        for (int v : values)
            b.i16(v);
        return record(function, b);
    }

    Wmf& setMapMode(int mode) { return words(0x0103, { mode }); }
    Wmf& setWindowOrg(int x, int y) { return words(0x020B, { y, x }); }
    Wmf& setWindowExt(int w, int h) { return words(0x020C, { h, w }); }
    Wmf& setViewportOrg(int x, int y) { return words(0x020D, { y, x }); }
    Wmf& setViewportExt(int w, int h) { return words(0x020E, { h, w }); }
    Wmf& setBkMode(int mode) { return words(0x0102, { mode }); }
    Wmf& setPolyFillMode(int mode) { return words(0x0106, { mode }); }
    Wmf& setTextAlign(int align) { return words(0x012E, { align }); }
    Wmf& setTextCharExtra(int extra) { return words(0x0108, { extra }); }
    Wmf& setTextColor(quint32 c) { return record(0x0209, Bytes().u32(c)); }
    Wmf& setBkColor(quint32 c) { return record(0x0201, Bytes().u32(c)); }
    Wmf& saveDC() { return words(0x001E, {}); }
    Wmf& restoreDC(int n) { return words(0x0127, { n }); }
    Wmf& intersectClipRect(int l, int t, int r, int b) { return words(0x0416, { b, r, t, l }); }
    Wmf& excludeClipRect(int l, int t, int r, int b) { return words(0x0415, { b, r, t, l }); }

    Wmf& createPen(int style, int width, quint32 colour)
    {
        ++m_objects;
        return record(0x02FA, Bytes().u16(style).i16(width).i16(0).u32(colour));
    }
    Wmf& createBrush(int style, quint32 colour, int hatch = 0)
    {
        ++m_objects;
        return record(0x02FC, Bytes().u16(style).u32(colour).u16(hatch));
    }
    Wmf& createPatternBrush(const Dib& dib)
    {
        ++m_objects;
        return record(0x0142, Bytes().u16(5).u16(0).raw(dib.packed()));
    }
    Wmf& createFont(int height, int charset, const QByteArray& face, int weight = 400, int escapement = 0)
    {
        ++m_objects;
        Bytes b;
        b.i16(height).i16(0).i16(escapement).i16(escapement).i16(weight);
        b.u8(0).u8(0).u8(0).u8(charset).u8(0).u8(0).u8(0).u8(0).raw(face).u8(0).padTo(2);
        return record(0x02FB, b);
    }
    Wmf& selectObject(int index) { return words(0x012D, { index }); }
    Wmf& deleteObject(int index) { return words(0x01F0, { index }); }

    Wmf& moveTo(int x, int y) { return words(0x0214, { y, x }); }
    Wmf& lineTo(int x, int y) { return words(0x0213, { y, x }); }
    Wmf& rectangle(int l, int t, int r, int b) { return words(0x041B, { b, r, t, l }); }
    Wmf& ellipse(int l, int t, int r, int b) { return words(0x0418, { b, r, t, l }); }
    Wmf& roundRect(int l, int t, int r, int b, int w, int h) { return words(0x061C, { h, w, b, r, t, l }); }
    Wmf& pie(int l, int t, int r, int b, QPoint start, QPoint end)
    {
        return words(0x081A, { end.y(), end.x(), start.y(), start.x(), b, r, t, l });
    }
    Wmf& chord(int l, int t, int r, int b, QPoint start, QPoint end)
    {
        return words(0x0830, { end.y(), end.x(), start.y(), start.x(), b, r, t, l });
    }
    Wmf& polygon(const QList<QPoint>& points) { return poly(0x0324, points); }
    Wmf& polyline(const QList<QPoint>& points) { return poly(0x0325, points); }
    Wmf& polyPolygon(const QList<QList<QPoint>>& polygons)
    {
        Bytes b;
        b.u16(int(polygons.size()));
        for (const auto& p : polygons)
            b.u16(int(p.size()));
        for (const auto& p : polygons)
            for (QPoint q : p)
                b.i16(q.x()).i16(q.y());
        return record(0x0538, b);
    }
    Wmf& textOut(int x, int y, const QByteArray& text)
    {
        return record(0x0521, Bytes().i16(int(text.size())).raw(text).padTo(2).i16(y).i16(x));
    }
    Wmf& extTextOut(int x, int y, const QByteArray& text, int options = 0, QRect rect = {}, const QList<int>& dx = {})
    {
        Bytes b;
        b.i16(y).i16(x).i16(int(text.size())).u16(options);
        if (options & 6)
            b.i16(rect.left()).i16(rect.top()).i16(rect.right() + 1).i16(rect.bottom() + 1);
        b.raw(text).padTo(2);
        for (int d : dx)
            b.i16(d);
        return record(0x0A32, b);
    }
    Wmf& stretchDib(QRect dest, QRect source, const Dib& dib, quint32 rop = SrcCopy)
    {
        Bytes b;
        b.u32(rop).u16(0).i16(source.height()).i16(source.width()).i16(source.y()).i16(source.x());
        b.i16(dest.height()).i16(dest.width()).i16(dest.y()).i16(dest.x()).raw(dib.packed());
        return record(0x0F43, b);
    }
    Wmf& dibStretchBlt(QRect dest, QRect source, const Dib& dib, quint32 rop = SrcCopy)
    {
        Bytes b;
        b.u32(rop).i16(source.height()).i16(source.width()).i16(source.y()).i16(source.x());
        b.i16(dest.height()).i16(dest.width()).i16(dest.y()).i16(dest.x()).raw(dib.packed());
        return record(0x0B41, b);
    }
    Wmf& dibBitBlt(QPoint dest, QRect source, const Dib& dib, quint32 rop = SrcCopy)
    {
        Bytes b;
        b.u32(rop).i16(source.y()).i16(source.x()).i16(source.height()).i16(source.width());
        b.i16(dest.y()).i16(dest.x()).raw(dib.packed());
        return record(0x0940, b);
    }
    // A device-dependent bitmap as 16-bit Windows stored one: a monochrome picture, rows top
    // first and padded to words, set bits where the image is white. withPointer adds the four
    // bytes of memory pointer GDI wrote after the header.
    static QByteArray bitmap16(const QImage& mono, bool withPointer)
    {
        Bytes b;
        const int stride = (mono.width() + 15) / 16 * 2;
        b.u16(0).i16(mono.width()).i16(mono.height()).i16(stride).u8(1).u8(1);
        if (withPointer)
            b.u32(0xDEADBEEF);
        for (int y = 0; y < mono.height(); ++y) {
            QByteArray row(stride, '\0');
            for (int x = 0; x < mono.width(); ++x) {
                if (qGray(mono.pixel(x, y)) > 127)
                    row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            }
            b.raw(row);
        }
        return b.d;
    }
    Wmf& bitBlt16(QPoint dest, QRect source, const QByteArray& bitmap, quint32 rop = SrcCopy)
    {
        Bytes b;
        b.u32(rop).i16(source.y()).i16(source.x()).i16(source.height()).i16(source.width());
        b.i16(dest.y()).i16(dest.x()).raw(bitmap);
        return record(0x0922, b);
    }
    Wmf& stretchBlt16(QRect dest, QRect source, const QByteArray& bitmap, quint32 rop = SrcCopy)
    {
        Bytes b;
        b.u32(rop).i16(source.height()).i16(source.width()).i16(source.y()).i16(source.x());
        b.i16(dest.height()).i16(dest.width()).i16(dest.y()).i16(dest.x()).raw(bitmap);
        return record(0x0B23, b);
    }
    Wmf& setDibToDev(QPoint dest, QRect source, const Dib& dib, int startScan, int scans)
    {
        Bytes b;
        b.u16(0).u16(scans).u16(startScan).i16(source.y()).i16(source.x()).i16(source.height()).i16(source.width());
        b.i16(dest.y()).i16(dest.x()).raw(dib.packed());
        return record(0x0D33, b);
    }
    Wmf& patBlt(QRect dest, quint32 rop)
    {
        return record(0x061D, Bytes().u32(rop).i16(dest.height()).i16(dest.width()).i16(dest.y()).i16(dest.x()));
    }

    // A META_ESCAPE MFCOMMENT record holding the body.
    Wmf& comment(const QByteArray& body)
    {
        return record(0x0626, Bytes().u16(0x000F).u16(int(body.size())).raw(body));
    }

    // The bodies of the comments GetWinMetaFileBits writes to carry an EMF: chunks of at most
    // chunkSize bytes, each with the chunk count and sizes, the first with the checksum, the
    // one's complement of the XOR of the EMF's 16-bit words (LibreOffice writes one more: give
    // checksumDelta 1). count overrides the chunk count every chunk states.
    static QList<QByteArray> emfChunks(const QByteArray& emf, int chunkSize, int checksumDelta = 0, int count = -1)
    {
        quint16 sum = 0;
        for (qsizetype i = 0; i + 1 < emf.size(); i += 2)
            sum ^= quint16(quint8(emf[i]) | quint8(emf[i + 1]) << 8);
        const int chunks = int((emf.size() + chunkSize - 1) / chunkSize);
        QList<QByteArray> bodies;
        for (int k = 0; k < chunks; ++k) {
            const QByteArray piece = emf.mid(qsizetype(k) * chunkSize, chunkSize);
            const qsizetype after = qsizetype(k) * chunkSize + piece.size();
            Bytes b;
            b.raw("WMFC").u32(1).u32(0x10000).u16(k == 0 ? quint16(~sum + checksumDelta) : 0).u32(0);
            b.u32(quint32(count < 0 ? chunks : count)).u32(quint32(piece.size()));
            b.u32(quint32(emf.size() - after)).u32(quint32(emf.size())).raw(piece);
            bodies.append(b.d);
        }
        return bodies;
    }
    Wmf& embedEmf(const QList<QByteArray>& chunks)
    {
        for (const QByteArray& body : chunks)
            comment(body);
        return *this;
    }

    // The records with a plain header and the closing record; objects: the table's size.
    QByteArray standard(int objects = -1) const
    {
        QByteArray body = m_records.join();
        body += Bytes().u32(3).u16(0).d;
        Bytes h;
        h.u16(1).u16(9).u16(0x0300).u32(quint32((18 + body.size()) / 2));
        h.u16(objects < 0 ? m_objects : objects).u32(quint32(std::max<qsizetype>(m_maxRecord, 3))).u16(0);
        return keptForComparison(h.d + body, ".wmf");
    }
    QByteArray placeable(int left, int top, int right, int bottom, int inch, int objects = -1) const
    {
        Bytes p;
        p.u32(0x9AC6CDD7).u16(0).i16(left).i16(top).i16(right).i16(bottom).u16(inch).u32(0);
        quint16 sum = 0;
        for (int i = 0; i < 20; i += 2)
            sum ^= quint16(quint8(p.d[i]) | quint8(p.d[i + 1]) << 8);
        p.u16(sum);
        return keptForComparison(p.d + standard(objects), ".wmf");
    }

private:
    Wmf& poly(quint16 function, const QList<QPoint>& points)
    {
        Bytes b;
        b.i16(int(points.size()));
        for (QPoint p : points)
            b.i16(p.x()).i16(p.y());
        return record(function, b);
    }

    QList<QByteArray> m_records;
    int m_objects = 0;
    qsizetype m_maxRecord = 3;
};

class Emf {
public:
    // frame in hundredths of a millimetre; the reference device is 96 dots per inch unless told.
    explicit Emf(QRect frame, QSize devicePixels = { 960, 960 }, QSize millimetres = { 254, 254 })
        : m_frame(frame)
        , m_device(devicePixels)
        , m_mm(millimetres)
    {
    }
    // A frame exactly so many pixels at 96 dpi (multiples of 24 are whole hundredths of a mm).
    static Emf pixels(int width, int height)
    {
        return Emf(QRect(QPoint(0, 0), QPoint(width * 2540 / 96, height * 2540 / 96)));
    }

    Emf& record(quint32 type, const Bytes& payload)
    {
        Bytes r;
        r.u32(type).u32(quint32(8 + (payload.d.size() + 3) / 4 * 4)).raw(payload.d).padTo(4);
        m_records.append(r.d);
        return *this;
    }
    Emf& values(quint32 type, std::initializer_list<qint32> v)
    {
        Bytes b;
        for (qint32 x : v)
            b.i32(x);
        return record(type, b);
    }

    Emf& setMapMode(int mode) { return values(17, { mode }); }
    Emf& setWindowExt(int w, int h) { return values(9, { w, h }); }
    Emf& setWindowOrg(int x, int y) { return values(10, { x, y }); }
    Emf& setViewportExt(int w, int h) { return values(11, { w, h }); }
    Emf& setViewportOrg(int x, int y) { return values(12, { x, y }); }
    Emf& setBkMode(int mode) { return values(18, { mode }); }
    Emf& setPolyFillMode(int mode) { return values(19, { mode }); }
    Emf& setTextAlign(int align) { return values(22, { align }); }
    Emf& setTextColor(quint32 c) { return values(24, { qint32(c) }); }
    Emf& setBkColor(quint32 c) { return values(25, { qint32(c) }); }
    Emf& saveDC() { return values(33, {}); }
    Emf& restoreDC(int n) { return values(34, { n }); }
    Emf& intersectClipRect(int l, int t, int r, int b) { return values(30, { l, t, r, b }); }
    Emf& setWorldTransform(const QTransform& t) { return record(35, xform(t)); }
    Emf& modifyWorldTransform(const QTransform& t, int mode) { return record(36, xform(t).u32(quint32(mode))); }

    Emf& createPen(int handle, int style, int width, quint32 colour)
    {
        return values(38, { handle, style, width, 0, qint32(colour) });
    }
    Emf& extCreatePen(int handle, quint32 style, int width, quint32 colour)
    {
        return values(95, { handle, 0, 0, 0, 0, qint32(style), width, 0, qint32(colour), 0, 0 });
    }
    Emf& createBrush(int handle, int style, quint32 colour, int hatch = 0)
    {
        return values(39, { handle, style, qint32(colour), hatch });
    }
    Emf& selectObject(quint32 handle) { return values(37, { qint32(handle) }); }
    Emf& deleteObject(int handle) { return values(40, { handle }); }
    Emf& createFont(int handle, int height, int charset, const QString& face, int weight = 400)
    {
        Bytes b;
        b.u32(quint32(handle)).i32(height).i32(0).i32(0).i32(0).i32(weight);
        b.u8(0).u8(0).u8(0).u8(charset).u8(0).u8(0).u8(0).u8(0);
        for (int i = 0; i < 32; ++i)
            b.u16(i < face.size() ? face[i].unicode() : 0);
        return record(82, b);
    }

    Emf& moveTo(int x, int y) { return values(27, { x, y }); }
    Emf& lineTo(int x, int y) { return values(54, { x, y }); }
    Emf& rectangle(int l, int t, int r, int b) { return values(43, { l, t, r, b }); }
    Emf& ellipse(int l, int t, int r, int b) { return values(42, { l, t, r, b }); }
    Emf& polygon(const QList<QPoint>& p) { return poly(3, p, false); }
    Emf& polyline(const QList<QPoint>& p) { return poly(4, p, false); }
    Emf& polyBezier(const QList<QPoint>& p) { return poly(2, p, false); }
    Emf& polyBezierTo(const QList<QPoint>& p) { return poly(5, p, false); }
    Emf& polygon16(const QList<QPoint>& p) { return poly(86, p, true); }
    Emf& polyline16(const QList<QPoint>& p) { return poly(87, p, true); }
    Emf& polyBezier16(const QList<QPoint>& p) { return poly(85, p, true); }
    Emf& polyBezierTo16(const QList<QPoint>& p) { return poly(88, p, true); }
    Emf& polyPolygon16(const QList<QList<QPoint>>& polys) { return polyPoly(91, polys, true); }
    Emf& polyPolygon(const QList<QList<QPoint>>& polys) { return polyPoly(8, polys, false); }
    Emf& polyPolyline16(const QList<QList<QPoint>>& polys) { return polyPoly(90, polys, true); }

    Emf& beginPath() { return values(59, {}); }
    Emf& endPath() { return values(60, {}); }
    Emf& closeFigure() { return values(61, {}); }
    Emf& fillPath() { return values(62, { 0, 0, 0, 0 }); }
    Emf& strokeAndFillPath() { return values(63, { 0, 0, 0, 0 }); }
    Emf& strokePath() { return values(64, { 0, 0, 0, 0 }); }
    Emf& widenPath() { return values(66, {}); }
    Emf& selectClipPath(int mode) { return values(67, { mode }); }

    Emf& comment(const QByteArray& data) { return record(70, Bytes().u32(quint32(data.size())).raw(data)); }

    Emf& extTextOutW(int x, int y, const QString& text, int options = 0, QRect rect = {}, const QList<int>& dx = {})
    {
        Bytes b;
        const int stringAt = 76;
        const int dxAt = stringAt + int((text.size() * 2 + 3) / 4 * 4);
        b.zeros(16).u32(1).f32(1).f32(1); // bounds, GM_COMPATIBLE, scales
        b.i32(x).i32(y).u32(quint32(text.size())).u32(stringAt).u32(quint32(options));
        b.i32(rect.left()).i32(rect.top()).i32(rect.right() + 1).i32(rect.bottom() + 1);
        b.u32(dx.isEmpty() ? 0 : quint32(dxAt));
        for (QChar c : text)
            b.u16(c.unicode());
        b.padTo(4);
        for (int d : dx)
            b.i32(d);
        return record(84, b);
    }

    // usage 1: the colour table holds indexes into the selected palette.
    Emf& stretchDIBits(QRect dest, QRect source, const Dib& dib, quint32 rop = SrcCopy, int usage = 0)
    {
        Bytes b;
        const int bmiAt = 80;
        const int bitsAt = bmiAt + int(dib.info.size());
        b.zeros(16).i32(dest.x()).i32(dest.y()).i32(source.x()).i32(source.y()).i32(source.width()).i32(source.height());
        b.u32(bmiAt).u32(quint32(dib.info.size())).u32(bitsAt).u32(quint32(dib.bits.size())).u32(quint32(usage)).u32(rop);
        b.i32(dest.width()).i32(dest.height()).raw(dib.info).raw(dib.bits);
        return record(81, b);
    }
    Emf& bitBlt(QRect dest, QPoint source, const Dib& dib, quint32 rop = SrcCopy)
    {
        Bytes b;
        const int bmiAt = 100;
        const int bitsAt = bmiAt + int(dib.info.size());
        b.zeros(16).i32(dest.x()).i32(dest.y()).i32(dest.width()).i32(dest.height()).u32(rop);
        b.i32(source.x()).i32(source.y()).raw(xform(QTransform()).d).u32(0).u32(0);
        b.u32(dib.info.isEmpty() ? 0 : bmiAt).u32(quint32(dib.info.size())).u32(dib.info.isEmpty() ? 0 : bitsAt);
        b.u32(quint32(dib.bits.size())).raw(dib.info).raw(dib.bits);
        return record(76, b);
    }

    // Premultiplied 32-bit pixels blended over what is there (AC_SRC_ALPHA), at constantAlpha.
    Emf& alphaBlend(QRect dest, QRect source, const Dib& dib, int constantAlpha = 255)
    {
        Bytes b;
        const int bmiAt = 108;
        const int bitsAt = bmiAt + int(dib.info.size());
        b.zeros(16).i32(dest.x()).i32(dest.y()).i32(dest.width()).i32(dest.height());
        b.u8(0).u8(0).u8(constantAlpha).u8(1).i32(source.x()).i32(source.y()).raw(xform(QTransform()).d).u32(0).u32(0);
        b.u32(bmiAt).u32(quint32(dib.info.size())).u32(bitsAt).u32(quint32(dib.bits.size()));
        b.i32(source.width()).i32(source.height()).raw(dib.info).raw(dib.bits);
        return record(114, b);
    }
    Emf& createPalette(int handle, const QList<QRgb>& colours)
    {
        Bytes b;
        b.u32(quint32(handle)).u16(0x300).u16(int(colours.size()));
        for (QRgb c : colours)
            b.u8(qRed(c)).u8(qGreen(c)).u8(qBlue(c)).u8(0);
        return record(49, b);
    }
    Emf& selectPalette(int handle) { return values(48, { handle }); }
    // Clips to rectangles in device pixels (RGN_COPY is 5); no rectangles at all is no region,
    // which with RGN_COPY removes the clip.
    Emf& selectClipRects(const QList<QRect>& rects, int mode = 5)
    {
        if (rects.isEmpty())
            return values(75, { 0, mode });
        Bytes b;
        b.u32(quint32(32 + 16 * rects.size())).u32(quint32(mode));
        b.u32(32).u32(1).u32(quint32(rects.size())).u32(quint32(16 * rects.size())).zeros(16);
        for (QRect r : rects)
            b.i32(r.left()).i32(r.top()).i32(r.right() + 1).i32(r.bottom() + 1);
        return record(75, b);
    }
    Emf& polyDraw(const QList<QPoint>& points, const QList<int>& types)
    {
        Bytes b;
        b.zeros(16).u32(quint32(points.size()));
        for (QPoint p : points)
            b.i32(p.x()).i32(p.y());
        for (int t : types)
            b.u8(t);
        return record(56, b);
    }
    Emf& arcTo(int l, int t, int r, int b, QPoint start, QPoint end)
    {
        return values(55, { l, t, r, b, start.x(), start.y(), end.x(), end.y() });
    }
    Emf& setPixel(int x, int y, quint32 colour) { return values(15, { x, y, qint32(colour) }); }

    // GradientFill: vertices with their colours, and two (rectangles) or three (triangles) vertex
    // indexes a shape. mode: 0 across, 1 down, 2 triangles.
    struct Vertex {
        QPoint at;
        quint32 colour;
    };
    Emf& gradientFill(const QList<Vertex>& vertices, int mode, const QList<int>& indexes)
    {
        Bytes b;
        b.zeros(16).u32(quint32(vertices.size())).u32(quint32(indexes.size() / (mode == 2 ? 3 : 2))).u32(quint32(mode));
        for (const Vertex& v : vertices)
            b.i32(v.at.x()).i32(v.at.y()).u16(int(v.colour & 0xFF) << 8).u16(int(v.colour >> 8 & 0xFF) << 8).u16(int(v.colour >> 16 & 0xFF) << 8).u16(0);
        for (int i : indexes)
            b.u32(quint32(i));
        return record(118, b);
    }
    // FillRgn with a brush by its handle, or PaintRgn (brush -1) with the one selected.
    Emf& fillRegion(const QList<QRect>& rects, int brush = -1)
    {
        Bytes region;
        region.u32(32).u32(1).u32(quint32(rects.size())).u32(quint32(16 * rects.size())).zeros(16);
        for (QRect r : rects)
            region.i32(r.left()).i32(r.top()).i32(r.right() + 1).i32(r.bottom() + 1);
        Bytes b;
        b.zeros(16).u32(quint32(region.d.size()));
        if (brush >= 0)
            b.u32(quint32(brush));
        b.raw(region.d);
        return record(brush >= 0 ? 71 : 74, b);
    }
    Emf& transparentBlt(QRect dest, QRect source, const Dib& dib, quint32 transparent)
    {
        Bytes b;
        const int bmiAt = 108;
        const int bitsAt = bmiAt + int(dib.info.size());
        b.zeros(16).i32(dest.x()).i32(dest.y()).i32(dest.width()).i32(dest.height()).u32(transparent);
        b.i32(source.x()).i32(source.y()).raw(xform(QTransform()).d).u32(0).u32(0);
        b.u32(bmiAt).u32(quint32(dib.info.size())).u32(bitsAt).u32(quint32(dib.bits.size()));
        b.i32(source.width()).i32(source.height()).raw(dib.info).raw(dib.bits);
        return record(116, b);
    }
    // SetDIBitsToDevice: the bitmap unstretched at dest; bits may hold only `scans` lines from
    // startScan up.
    Emf& setDIBitsToDevice(QPoint dest, QRect source, const Dib& dib, int startScan, int scans)
    {
        Bytes b;
        const int bmiAt = 76;
        const int bitsAt = bmiAt + int(dib.info.size());
        b.zeros(16).i32(dest.x()).i32(dest.y()).i32(source.x()).i32(source.y()).i32(source.width()).i32(source.height());
        b.u32(bmiAt).u32(quint32(dib.info.size())).u32(bitsAt).u32(quint32(dib.bits.size())).u32(0);
        b.u32(quint32(startScan)).u32(quint32(scans)).raw(dib.info).raw(dib.bits);
        return record(80, b);
    }
    // 8-bit text in the selected font's charset.
    Emf& extTextOutA(int x, int y, const QByteArray& text)
    {
        Bytes b;
        b.zeros(16).u32(1).f32(1).f32(1);
        b.i32(x).i32(y).u32(quint32(text.size())).u32(76).u32(0).zeros(16).u32(0).raw(text).padTo(4);
        return record(83, b);
    }

    int recordCount() const { return int(m_records.size()) + 2; }

    // A header as office programs write it: the base header and right after it, where the
    // extensions would be, a description (two strings, each ending in a NUL).
    Emf& describe(const QString& description)
    {
        m_description = description;
        return *this;
    }

    QByteArray finish(int handles = 16) const
    {
        QByteArray body = m_records.join();
        body += Bytes().u32(14).u32(20).u32(0).u32(16).u32(20).d;
        Bytes text;
        for (QChar c : m_description)
            text.u16(c.unicode());
        text.padTo(4);
        const int headerSize = m_description.isEmpty() ? 108 : 88 + int(text.d.size());
        Bytes h;
        h.u32(1).u32(quint32(headerSize)).zeros(16);
        h.i32(m_frame.left()).i32(m_frame.top()).i32(m_frame.right()).i32(m_frame.bottom());
        h.u32(0x464D4520).u32(0x10000).u32(quint32(headerSize + body.size())).u32(quint32(recordCount()));
        h.u16(handles).u16(0).u32(quint32(m_description.size())).u32(m_description.isEmpty() ? 0 : 88).u32(0);
        h.i32(m_device.width()).i32(m_device.height()).i32(m_mm.width()).i32(m_mm.height());
        if (m_description.isEmpty())
            h.u32(0).u32(0).u32(0).u32(quint32(m_mm.width() * 1000)).u32(quint32(m_mm.height() * 1000));
        else
            h.raw(text.d);
        return keptForComparison(h.d + body, ".emf");
    }

private:
    static Bytes xform(const QTransform& t)
    {
        Bytes b;
        b.f32(float(t.m11())).f32(float(t.m12())).f32(float(t.m21())).f32(float(t.m22()));
        b.f32(float(t.dx())).f32(float(t.dy()));
        return b;
    }
    Emf& poly(quint32 type, const QList<QPoint>& points, bool small)
    {
        Bytes b;
        b.zeros(16).u32(quint32(points.size()));
        for (QPoint p : points)
            small ? b.i16(p.x()).i16(p.y()) : b.i32(p.x()).i32(p.y());
        return record(type, b);
    }
    Emf& polyPoly(quint32 type, const QList<QList<QPoint>>& polys, bool small)
    {
        Bytes b;
        qsizetype total = 0;
        for (const auto& p : polys)
            total += p.size();
        b.zeros(16).u32(quint32(polys.size())).u32(quint32(total));
        for (const auto& p : polys)
            b.u32(quint32(p.size()));
        for (const auto& p : polys)
            for (QPoint q : p)
                small ? b.i16(q.x()).i16(q.y()) : b.i32(q.x()).i32(q.y());
        return record(type, b);
    }

    QRect m_frame;
    QSize m_device;
    QSize m_mm;
    QString m_description;
    QList<QByteArray> m_records;
};

// GDI+ records, which an EMF carries in comments (Emf::comment(plus.comment())). Colours are
// ARGB; shapes are in world units.
class EmfPlus {
public:
    EmfPlus& record(quint16 type, quint16 flags, const Bytes& data)
    {
        Bytes padded = data;
        padded.padTo(4);
        Bytes r;
        r.u16(type).u16(flags).u32(quint32(12 + padded.d.size())).u32(quint32(padded.d.size())).raw(padded.d);
        m_records += r.d;
        return *this;
    }
    // Bytes as they are, for records the other methods would write correctly.
    EmfPlus& raw(const Bytes& bytes)
    {
        m_records += bytes.d;
        return *this;
    }
    // The signature and the records, for one comment.
    QByteArray comment() const { return QByteArray("EMF+") + m_records; }

    EmfPlus& header(bool dual, int dpi = 96)
    {
        return record(0x4001, dual ? 1 : 0, Bytes().u32(0xDBC01002).u32(1).u32(quint32(dpi)).u32(quint32(dpi)));
    }
    // An image object holding a whole metafile (3: EMF).
    static Bytes metafileImage(const QByteArray& file, int type = 3)
    {
        return Bytes().u32(0xDBC01002).u32(2).u32(quint32(type)).u32(quint32(file.size())).raw(file);
    }
    EmfPlus& endOfFile() { return record(0x4002, 0, Bytes()); }
    // Hands drawing to GDI: the GDI records up to the next GDI+ ones are part of the picture.
    EmfPlus& getDC() { return record(0x4004, 0, Bytes()); }
    EmfPlus& object(int id, int kind, const Bytes& data) { return record(0x4008, quint16(id | kind << 8), data); }
    // An object too large for one record, in pieces: each but the last (or every one, with
    // markLast, as some writers do) flagged as continued and giving the whole size first.
    // With padLast, the last piece is padded out to whole 32-bit words as some writers do;
    // the others are sent unpadded: they join byte for byte.
    EmfPlus& objectInPieces(int id, int kind, const QByteArray& data, int pieces, bool markLast = false,
                            bool padLast = false)
    {
        const qsizetype step = (data.size() + pieces - 1) / pieces;
        for (qsizetype at = 0; at < data.size(); at += step) {
            const bool continued = markLast || at + step < data.size();
            QByteArray piece = data.mid(at, step);
            if (padLast && at + step >= data.size())
                piece.append((4 - piece.size() % 4) % 4, '\0');
            Bytes r;
            r.u16(0x4008).u16(id | kind << 8 | (continued ? 0x8000 : 0));
            r.u32(quint32((continued ? 16 : 12) + piece.size()));
            if (continued)
                r.u32(quint32(data.size()));
            r.u32(quint32(piece.size())).raw(piece);
            m_records += r.d;
        }
        return *this;
    }
    static Bytes solidBrush(quint32 argb) { return Bytes().u32(0xDBC01002).u32(0).u32(argb); }
    static Bytes hatchBrush(int style, quint32 fore, quint32 back)
    {
        return Bytes().u32(0xDBC01002).u32(1).u32(quint32(style)).u32(fore).u32(back);
    }
    static Bytes linearGradient(QRectF box, quint32 start, quint32 end)
    {
        Bytes b;
        b.u32(0xDBC01002).u32(4).u32(0).u32(4).f32(float(box.x())).f32(float(box.y())).f32(float(box.width()));
        b.f32(float(box.height())).u32(start).u32(end).u32(0).u32(0);
        return b;
    }
    // unit: 0 world, 2 pixels, 3 points.
    // Caps: 0 flat, 1 square, 2 round; -1 leaves them to the default.
    static Bytes pen(float width, quint32 argb, int unit = 0, int lineStyle = -1, int startCap = -1, int dashCap = -1)
    {
        const quint32 flags = (startCap >= 0 ? 0x02 : 0) | (lineStyle >= 0 ? 0x20 : 0) | (dashCap >= 0 ? 0x40 : 0);
        Bytes b;
        b.u32(0xDBC01002).u32(0).u32(flags).u32(quint32(unit)).f32(width);
        for (int field : { startCap, lineStyle, dashCap })
            if (field >= 0)
                b.u32(quint32(field));
        b.raw(solidBrush(argb).d);
        return b;
    }
    // types: 0 start, 1 line, 3 bezier, with 0x80 closing the figure.
    static Bytes path(const QList<QPointF>& points, const QList<int>& types)
    {
        Bytes b;
        b.u32(0xDBC01002).u32(quint32(points.size())).u32(0);
        for (QPointF p : points)
            b.f32(float(p.x())).f32(float(p.y()));
        for (int t : types)
            b.u8(t);
        return b;
    }
    static Bytes font(float em, int unit, const QString& family, int style = 0)
    {
        Bytes b;
        b.u32(0xDBC01002).f32(em).u32(quint32(unit)).u32(quint32(style)).u32(0).u32(quint32(family.size()));
        for (QChar c : family)
            b.u16(c.unicode());
        return b;
    }
    // A bitmap carried as a whole PNG (or other) file.
    static Bytes compressedImage(QSize size, const QByteArray& file)
    {
        Bytes b;
        b.u32(0xDBC01002).u32(1).i32(size.width()).i32(size.height()).i32(0).u32(0x0026200A).u32(1).raw(file);
        return b;
    }
    // A bitmap of 1, 4 or 8 bits a pixel looked up in palette (ARGB), rows given top first and
    // padded to whole 32-bit words here; paletteAlpha says the palette's alpha is meant.
    static Bytes indexedImage(QSize size, int bits, const QList<quint32>& palette, bool paletteAlpha,
                              const QList<QByteArray>& rows)
    {
        const int stride = (size.width() * bits + 31) / 32 * 4;
        const quint32 format = bits == 1 ? 0x00030101 : bits == 4 ? 0x00030402 : 0x00030803;
        Bytes b;
        b.u32(0xDBC01002).u32(1).i32(size.width()).i32(size.height()).i32(stride).u32(format).u32(0);
        b.u32(paletteAlpha ? 1 : 0).u32(quint32(palette.size()));
        for (quint32 c : palette)
            b.u32(c);
        for (const QByteArray& row : rows)
            b.raw(row.leftJustified(stride, '\0', true));
        return b;
    }
    static Bytes rects(const QList<QRectF>& rs)
    {
        Bytes b;
        b.u32(quint32(rs.size()));
        for (const QRectF& r : rs)
            b.f32(float(r.x())).f32(float(r.y())).f32(float(r.width())).f32(float(r.height()));
        return b;
    }
    static Bytes points(const QList<QPointF>& ps)
    {
        Bytes b;
        b.u32(quint32(ps.size()));
        for (QPointF p : ps)
            b.f32(float(p.x())).f32(float(p.y()));
        return b;
    }

    EmfPlus& fillRects(quint32 argb, const QList<QRectF>& rs)
    {
        return record(0x400A, 0x8000, Bytes().u32(argb).raw(rects(rs).d));
    }
    EmfPlus& fillRectsWith(int brushId, const QList<QRectF>& rs)
    {
        return record(0x400A, 0, Bytes().u32(quint32(brushId)).raw(rects(rs).d));
    }
    EmfPlus& fillPath(int pathId, int brushId) { return record(0x4014, quint16(pathId), Bytes().u32(quint32(brushId))); }
    EmfPlus& drawPath(int pathId, int penId) { return record(0x4015, quint16(pathId), Bytes().u32(quint32(penId))); }
    EmfPlus& drawLines(int penId, const QList<QPointF>& ps) { return record(0x400D, quint16(penId), points(ps)); }
    EmfPlus& fillEllipse(quint32 argb, QRectF r)
    {
        return record(0x400E, 0x8000, Bytes().u32(argb).f32(float(r.x())).f32(float(r.y())).f32(float(r.width())).f32(float(r.height())));
    }
    // Angles in degrees, clockwise from the x axis.
    EmfPlus& fillPie(quint32 argb, float start, float sweep, QRectF r)
    {
        return record(0x4010, 0x8000, Bytes().u32(argb).f32(start).f32(sweep).f32(float(r.x())).f32(float(r.y())).f32(float(r.width())).f32(float(r.height())));
    }
    EmfPlus& fillClosedCurve(quint32 argb, float tension, const QList<QPointF>& ps)
    {
        return record(0x4016, 0x8000, Bytes().u32(argb).f32(tension).raw(points(ps).d));
    }
    EmfPlus& drawImage(int imageId, QRectF source, QRectF dest)
    {
        Bytes b;
        b.u32(0).u32(2).f32(float(source.x())).f32(float(source.y())).f32(float(source.width())).f32(float(source.height()));
        b.f32(float(dest.x())).f32(float(dest.y())).f32(float(dest.width())).f32(float(dest.height()));
        return record(0x401A, quint16(imageId), b);
    }
    EmfPlus& drawString(int fontId, quint32 argb, QRectF layout, const QString& text)
    {
        Bytes b;
        b.u32(argb).u32(0xFFFFFFFF).u32(quint32(text.size()));
        b.f32(float(layout.x())).f32(float(layout.y())).f32(float(layout.width())).f32(float(layout.height()));
        for (QChar c : text)
            b.u16(c.unicode());
        return record(0x401C, quint16(fontId | 0x8000), b);
    }
    // Characters (options 1: looked up in the font's map) each at its own baseline position.
    EmfPlus& drawDriverString(int fontId, quint32 argb, const QString& text, const QList<QPointF>& at, quint32 options = 1)
    {
        Bytes b;
        b.u32(argb).u32(options).u32(0).u32(quint32(text.size()));
        for (QChar c : text)
            b.u16(c.unicode());
        for (QPointF p : at)
            b.f32(float(p.x())).f32(float(p.y()));
        return record(0x4036, quint16(fontId | 0x8000), b);
    }
    EmfPlus& setWorldTransform(const QTransform& t)
    {
        return record(0x402A, 0, Bytes().f32(float(t.m11())).f32(float(t.m12())).f32(float(t.m21())).f32(float(t.m22())).f32(float(t.dx())).f32(float(t.dy())));
    }
    EmfPlus& resetWorldTransform() { return record(0x402B, 0, Bytes()); }
    EmfPlus& rotateWorldTransform(float degrees, bool append) { return record(0x402F, append ? 0x2000 : 0, Bytes().f32(degrees)); }
    EmfPlus& setPageTransform(int unit, float scale) { return record(0x4030, quint16(unit), Bytes().f32(scale)); }
    // mode: 0 replace, 1 intersect, 2 union, 3 xor, 4 exclude.
    EmfPlus& setClipRect(int mode, QRectF r)
    {
        return record(0x4032, quint16(mode << 8), Bytes().f32(float(r.x())).f32(float(r.y())).f32(float(r.width())).f32(float(r.height())));
    }
    EmfPlus& setClipPath(int mode, int pathId) { return record(0x4033, quint16(pathId | mode << 8), Bytes()); }
    EmfPlus& resetClip() { return record(0x4031, 0, Bytes()); }
    // The source rectangle, in unit, mapped onto the destination, in world units.
    EmfPlus& beginContainer(int index, QRectF dest, QRectF source, int unit)
    {
        Bytes b;
        b.f32(float(dest.x())).f32(float(dest.y())).f32(float(dest.width())).f32(float(dest.height()));
        b.f32(float(source.x())).f32(float(source.y())).f32(float(source.width())).f32(float(source.height()));
        return record(0x4027, quint16(unit << 8), b.u32(quint32(index)));
    }
    EmfPlus& beginContainer(int index) { return record(0x4028, 0, Bytes().u32(quint32(index))); }
    EmfPlus& endContainer(int index) { return record(0x4029, 0, Bytes().u32(quint32(index))); }
    EmfPlus& save(int index) { return record(0x4025, 0, Bytes().u32(quint32(index))); }
    EmfPlus& restore(int index) { return record(0x4026, 0, Bytes().u32(quint32(index))); }

private:
    QByteArray m_records;
};

} // namespace mfw

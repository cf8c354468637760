#include "metafile/EmfPlusPlayer.h"

#include "metafile/EmfPlusGeometry.h"
#include "metafile/FaceNames.h"
#include "metafile/MetafileCanvas.h"

#include <QFontMetricsF>

namespace metafile {

using namespace gdiplus;
using namespace emfplus;

namespace {

// Text is laid out at this pixel size and scaled to the size asked for.
constexpr int kLayoutPixels = 256;
// Each character becomes an outline that is then filled: far dearer than GDI's text, which Qt
// draws from its glyph cache.
constexpr qint64 kCostPerOutlinedCharacter = 32768;
// Longer strings are not laid out: wrapping measures lines again word by word.
constexpr qint64 kMaxCharacters = DrawDriverString::kMaxGlyphs;
constexpr qsizetype kMaxLines = 1000;

QFont layoutFont(const Font& f)
{
    QFont font(installedFace(f.family));
    font.setPixelSize(kLayoutPixels);
    font.setBold(f.style & FontStyle::Bold);
    font.setItalic(f.style & FontStyle::Italic);
    font.setUnderline(f.style & FontStyle::Underline);
    font.setStrikeOut(f.style & FontStyle::Strikeout);
    return font;
}

// The text's lines: the breaks it has, and more where a line would pass room, in layout pixels.
QStringList wrappedLines(const QString& string, const QFontMetricsF& metrics, bool wrap, double room)
{
    QStringList lines;
    for (const QString& paragraph : string.split(QLatin1Char('\n'))) {
        QString line = paragraph;
        line.remove(QLatin1Char('\r'));
        if (!wrap || metrics.horizontalAdvance(line) <= room) {
            lines.append(line);
            continue;
        }
        QString current;
        for (const QString& word : line.split(QLatin1Char(' '))) {
            const QString tried = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
            if (!current.isEmpty() && metrics.horizontalAdvance(tried) > room) {
                lines.append(current);
                current = word;
            } else {
                current = tried;
            }
        }
        lines.append(current);
        if (lines.size() > kMaxLines)
            break;
    }
    return lines;
}

// Where a run of the given length starts in a box along one axis. A box of no size gives a
// point that the run is aligned on instead.
double alignedStart(StringAlignment align, double start, double size, double length, double margin)
{
    switch (align) {
    case StringAlignment::Center: return size > 0 ? start + (size - length) / 2 : start - length / 2;
    case StringAlignment::Far: return size > 0 ? start + size - margin - length : start - length;
    default: return start + margin;
    }
}

} // namespace

double EmfPlusPlayer::emInWorld(const Font& font) const
{
    // As given, or from the font's own unit through the page. The world transform then scales
    // text like everything else.
    const double toDevice = unitToDevice(m_s.pageUnit) * m_s.pageScale;
    return font.unit == Unit::World ? font.emSize : font.emSize * unitToDevice(font.unit) / toDevice;
}

void EmfPlusPlayer::text(const QString& string, const Font& font, const Paint& paint, const QRectF& layout,
                         const Format& format)
{
    const QTransform t = toPicture();
    const double toDevice = unitToDevice(m_s.pageUnit) * m_s.pageScale;
    if (string.isEmpty() || !finiteTransform(t) || !sensibleRect(layout) || toDevice <= 0)
        return;
    const double em = emInWorld(font);
    if (!finite(em) || em <= 0 || string.size() > kMaxCharacters)
        return;
    const double k = em / kLayoutPixels;
    const QFont qfont = layoutFont(font);
    const QFontMetricsF metrics(qfont);
    m_canvas.countDecodedPixels(qint64(string.size()) * kCostPerOutlinedCharacter);
    if (m_canvas.exhausted())
        return;

    const bool wrap = layout.width() > 0 && !(format.flags & StringFormatFlag::NoWrap);
    const double margin = em / 6; // GDI+ keeps a sixth of an em clear at each side
    const QStringList lines = wrappedLines(string, metrics, wrap, (layout.width() - 2 * margin) / k);
    const double lineHeight = metrics.lineSpacing() * k;
    const double top = alignedStart(format.lineAlign, layout.top(), layout.height(), lineHeight * double(lines.size()), 0);

    QPainterPath path;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const double width = metrics.horizontalAdvance(lines[i]) * k;
        const double x = alignedStart(format.align, layout.left(), layout.width(), width, margin);
        const double baseline = top + double(i) * lineHeight + metrics.ascent() * k;
        QPainterPath line;
        line.addText(0, 0, qfont, lines[i]);
        path.addPath(QTransform(k, 0, 0, k, x, baseline).map(line));
    }
    const State kept = m_s;
    m_s.antialias = true; // GDI+ smooths text whatever the shapes do
    if (layout.width() > 0 && layout.height() > 0 && !(format.flags & StringFormatFlag::NoClip)) {
        // Lines that do not fit the box are cut off at its edges.
        QPainterPath box;
        box.addRect(layout);
        combineClip(t.map(box), CombineMode::Intersect);
    }
    fill(path, paint);
    m_s = kept;
}

void EmfPlusPlayer::apply(const DrawDriverString& r)
{
    const Object* font = objectAt(r.font, Object::Kind::Font);
    const std::optional<Paint> brush = paintFor(r.brush);
    // Without the lookup flag the codes are glyph numbers of a font that is not here.
    if (!font || !brush || !(r.options & DriverStringOption::CmapLookup))
        return;
    const QTransform t = toPicture();
    const double em = emInWorld(font->font);
    if (!finiteTransform(t) || !finite(em) || em <= 0)
        return;
    m_canvas.countDecodedPixels(r.count * kCostPerOutlinedCharacter);
    if (m_canvas.exhausted())
        return;
    const double k = em / kLayoutPixels;
    const QFont qfont = layoutFont(font->font);
    const QFontMetricsF metrics(qfont);
    QPainterPath path;
    QPointF pen = r.position(0);
    for (qint64 i = 0; i < r.count; ++i) {
        const QString c(r.glyph(i));
        const QPointF at = r.realized() ? pen : r.position(i);
        if (!finite(at.x()) || !finite(at.y()))
            return;
        QPainterPath glyph;
        glyph.addText(0, 0, qfont, c);
        path.addPath(QTransform(k, 0, 0, k, at.x(), at.y()).map(glyph));
        pen = at + QPointF(metrics.horizontalAdvance(c) * k, 0);
    }
    if (const std::optional<QTransform> m = r.matrix()) {
        if (!finiteTransform(*m))
            return;
        path = m->map(path);
    }
    const bool antialias = m_s.antialias;
    m_s.antialias = true;
    fill(path, *brush);
    m_s.antialias = antialias;
}

} // namespace metafile

#include "metafile/MetafileCanvas.h"

#include "metafile/FaceNames.h"
#include "metafile/MetafileCanvasLimits.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>

#include <cmath>
#include <numbers>

namespace metafile {

using namespace canvas;

namespace {

constexpr double kMaxTextPixels = 4096;
// Glyphs hundreds of pixels tall gain nothing from the glyph cache, and past a few thousand
// FreeType cannot render them and Qt copies from a bitmap that was never made.
constexpr double kMaxCachedGlyphPixels = 512;

// Whether a transform squashes what it draws nearly flat: its smaller stretch under a
// sixteenth of its larger. Qt's glyph cache fails on such a transform (it copies from a glyph
// bitmap that was never made), so text under it is drawn from its outlines.
bool squashes(const QTransform& t)
{
    const double across = std::hypot(t.m11(), t.m12());
    const double down = std::hypot(t.m21(), t.m22());
    const double larger = std::max(across, down);
    return !(larger > 0) || std::abs(t.determinant()) < larger * larger / 256;
}

// A LOGFONT's width is measured against the average width of the Windows font's characters,
// which the classic TrueType fonts (Arial, Times New Roman...) state as the lowercase letters and
// the space weighted by their frequency in English. Faces standing in for them are measured the
// same way: their own stated average is often taken over every glyph, Greek and Cyrillic
// included, and would make the text too narrow.
double averageCharWidth(const QFont& font)
{
    static constexpr int weights[27] = { 64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6, 35, 20, 56,
                                         56, 17, 4, 49, 56, 71, 31, 10, 18, 3, 18, 2, 166 };
    const QFontMetricsF metrics(font);
    double sum = 0;
    for (int i = 0; i < 27; ++i)
        sum += weights[i] * metrics.horizontalAdvance(QChar(i < 26 ? char16_t(u'a' + i) : u' '));
    return sum / 1000;
}

// Each character's start along the baseline, in picture pixels, into offsets, and the whole
// text's width: from the record's advances, or from the font's with the extra spacing set by
// SetTextCharacterExtra. With neither, offsets stay empty and Qt lays the text out itself.
double layOutAlong(const GdiText& text, const QFontMetricsF& metrics, double xScale, double charExtra,
                   QList<double>& offsets)
{
    double width = 0;
    if (!text.advances.isEmpty()) {
        offsets.reserve(text.advances.size());
        for (double a : text.advances) {
            offsets.append(width);
            width += a * xScale;
        }
    } else if (charExtra != 0) {
        offsets.reserve(text.starts.size());
        for (qsizetype i = 0; i < text.starts.size(); ++i) {
            offsets.append(width);
            width += metrics.horizontalAdvance(text.character(i)) + charExtra * xScale;
        }
    } else {
        width = metrics.horizontalAdvance(text.text);
    }
    return width;
}

} // namespace

// A piece of text placed: its characters along a baseline in the text's own pixels, starting
// from its reference point, and the transform that turns and moves them onto the picture.
struct MetafileCanvas::TextLayout {
    GdiText text;
    QFont font;
    QList<double> offsets; // each character's start along the baseline; empty: Qt lays them out
    double x0 = 0;         // where the text starts, left of the reference point as aligned
    double baseline = 0;
    QRectF cell;           // what the background fills
    double end = 0;        // where the current position moves to along the baseline
    QTransform local;

    // The characters as outlines, each at its own place when the file spaces them.
    QPainterPath outlines() const
    {
        QPainterPath glyphs;
        if (offsets.isEmpty()) {
            glyphs.addText(QPointF(x0, baseline), font, text.text);
        } else {
            for (qsizetype i = 0; i < text.starts.size(); ++i)
                glyphs.addText(QPointF(x0 + offsets.value(i), baseline), font, text.character(i));
        }
        return glyphs;
    }
};

gdi::Charset MetafileCanvas::textCharset() const
{
    // Asked for by name with the default charset, GDI gives the symbol font itself, whose codes
    // are single bytes.
    if (m_s.font.charset == gdi::Charset::Default && symbolFaceOf(m_s.font.face) != SymbolFace::None)
        return gdi::Charset::Symbol;
    return m_s.font.charset;
}

bool MetafileCanvas::qtFont(QFont& font)
{
    const GdiFont& g = m_s.font;
    const QTransform& t = full();
    const double yScale = std::hypot(t.m21(), t.m22());
    const double xScale = std::hypot(t.m11(), t.m12());
    // "@" names a face's vertical-writing variant; the horizontal face is what is installed.
    QString family = installedFace(g.face.startsWith(QLatin1Char('@')) ? g.face.mid(1) : g.face);
    if (family.isEmpty())
        family = QStringLiteral("sans-serif");

    double em = 12;
    if (g.height < 0) {
        em = -g.height * yScale;
    } else if (g.height > 0) {
        // A positive height is the whole cell, ascent and descent; the em is a part of it.
        auto ratio = m_emPerCell.constFind(family);
        if (ratio == m_emPerCell.constEnd()) {
            QFont probe(family);
            probe.setPixelSize(100);
            const QFontMetricsF m(probe);
            const double cell = m.ascent() + m.descent();
            ratio = m_emPerCell.insert(family, cell > 0 ? 100 / cell : 1.0);
        }
        em = g.height * yScale * *ratio;
    }
    if (!std::isfinite(em) || em > kMaxTextPixels || em < 0.5)
        return false;
    const int pixels = std::max(1, int(std::lround(em)));
    const int weight = g.weight <= 0 ? 400 : std::clamp(g.weight, 1, 1000);
    double widthPixels = g.width == 0 ? 0 : std::abs(g.width) * xScale;
    if (!std::isfinite(widthPixels) || widthPixels > kMaxTextPixels)
        widthPixels = 0;
    const QString key = QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(family)
                            .arg(pixels)
                            .arg(weight)
                            .arg(int(g.italic) | int(g.underline) << 1 | int(g.strikeOut) << 2)
                            .arg(std::lround(widthPixels * 8));
    for (const CachedFont& cached : m_fonts) {
        if (cached.key == key) {
            font = cached.font;
            return true;
        }
    }
    QFont f(family);
    // Faces whose codes are their own symbols are no use here: symbol fonts' text arrives in
    // Unicode (see inUnicode), and for some other names fontconfig offers one where letters
    // should be (Impact comes out in Dingbats). A Unicode face with the symbols serves instead.
    if (QFontDatabase::writingSystems(QFontInfo(f).family()).contains(QFontDatabase::Symbol)) {
        const SymbolFace symbols = symbolFaceOf(g.face);
        f.setFamily(symbols == SymbolFace::Symbol || symbols == SymbolFace::MtExtra ? QStringLiteral("serif")
                                                                                   : QStringLiteral("sans-serif"));
    }
    f.setPixelSize(pixels);
    f.setWeight(QFont::Weight(weight));
    f.setItalic(g.italic);
    f.setUnderline(g.underline);
    f.setStrikeOut(g.strikeOut);
    if (widthPixels > 0) {
        const double natural = averageCharWidth(f);
        if (natural > 0)
            f.setStretch(std::clamp(int(std::lround(100 * widthPixels / natural)), 1, 4000));
    }
    if (m_fonts.size() >= 32)
        m_fonts.erase(m_fonts.begin());
    m_fonts.push_back({ key, f });
    font = f;
    return true;
}

void MetafileCanvas::textOut(QPointF reference, const GdiText& recorded, gdi::TextOutOptions options,
                             std::optional<QRectF> rect)
{
    const SymbolFace symbolFace = textCharset() == gdi::Charset::Symbol ? symbolFaceOf(m_s.font.face) : SymbolFace::None;
    const GdiText text = symbolFace == SymbolFace::None ? recorded : inUnicode(recorded, symbolFace);
    if (!usable(full()))
        return;
    if (rect && options.testFlag(gdi::TextOutOption::Opaque) && !m_pathOpen)
        fillTextBox(rect->normalized());
    // Glyph indexes belong to the font the file was made with, which is not here.
    if (text.text.isEmpty() || options.testFlag(gdi::TextOutOption::GlyphIndex))
        return;
    const std::optional<TextLayout> layout = layOutText(reference, text);
    if (!layout)
        return;
    if (m_s.textAlign.updatesCurrentPosition())
        m_s.position = full().inverted().map(layout->local.map(QPointF(layout->end, 0)));
    if (m_pathOpen)
        addTextToPath(*layout);
    else
        drawTextLayout(*layout, options.testFlag(gdi::TextOutOption::Clipped) ? rect : std::nullopt);
}

void MetafileCanvas::fillTextBox(const QRectF& logical)
{
    const QTransform& t = full();
    if (!charge(t.mapRect(logical)))
        return;
    applyClip();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setTransform(t * m_base);
    m_painter.fillRect(logical, QColor(rgb(m_s.bkColour)));
}

std::optional<MetafileCanvas::TextLayout> MetafileCanvas::layOutText(QPointF reference, const GdiText& text)
{
    TextLayout l;
    l.text = text;
    if (!qtFont(l.font))
        return std::nullopt;
    const QFontMetricsF metrics(l.font);
    const QTransform& t = full();
    const QPointF origin = t.map(m_s.textAlign.updatesCurrentPosition() ? m_s.position : reference);
    const double width = layOutAlong(text, metrics, std::hypot(t.m11(), t.m12()), m_s.charExtra, l.offsets);
    if (!std::isfinite(width) || std::abs(width) > kFar)
        return std::nullopt;

    const gdi::HorizontalAlign horizontal = m_s.textAlign.horizontal();
    if (horizontal == gdi::HorizontalAlign::Centre)
        l.x0 = -width / 2;
    else if (horizontal == gdi::HorizontalAlign::Right)
        l.x0 = -width;
    l.baseline = metrics.ascent();
    if (m_s.textAlign.vertical() == gdi::VerticalAlign::Baseline)
        l.baseline = 0;
    else if (m_s.textAlign.vertical() == gdi::VerticalAlign::Bottom)
        l.baseline = -metrics.descent();
    l.cell = QRectF(l.x0, l.baseline - metrics.ascent(), width, metrics.ascent() + metrics.descent());
    l.end = horizontal == gdi::HorizontalAlign::Centre ? 0
        : horizontal == gdi::HorizontalAlign::Right    ? l.x0
                                                       : l.x0 + width;

    // Text stays upright in the picture, turned by the escapement and by any rotation of the
    // world; a mapping that only turns y upwards leaves it as it is.
    double angle = -m_s.font.escapement / 10;
    if (t.m11() != 0 || t.m12() != 0)
        angle += std::atan2(t.m12(), std::abs(t.m11())) * 180 / std::numbers::pi;
    l.local = QTransform().rotate(std::isfinite(angle) ? std::fmod(angle, 360) : 0)
        * QTransform::fromTranslate(origin.x(), origin.y());
    return l;
}

void MetafileCanvas::addTextToPath(const TextLayout& layout)
{
    m_budget -= kCostPerPathCharacter * layout.text.starts.size();
    if (m_pathOverflow || exhausted())
        return;
    QPainterPath mapped = layout.local.map(layout.outlines());
    if (sane(mapped.controlPointRect()) && !m_pathOverflow) {
        m_path.addPath(mapped);
        m_figureOpen = false;
    }
    if (pathTooLong())
        overflowPath();
}

void MetafileCanvas::drawTextLayout(const TextLayout& layout, const std::optional<QRectF>& clipRect)
{
    Work work;
    work.characters = layout.text.starts.size();
    if (!charge(layout.local.mapRect(layout.cell), work))
        return;
    applyClip();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (clipRect) {
        m_painter.setTransform(full() * m_base);
        m_painter.setClipRect(clipRect->normalized(), m_painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
        m_clipDirty = true;
        m_plusClips.reset();
    }
    const QTransform onScreen = layout.local * m_base;
    m_painter.setTransform(onScreen);
    if (m_s.bkOpaque)
        m_painter.fillRect(layout.cell, QColor(rgb(m_s.bkColour)));
    const double stretch = std::max(std::hypot(onScreen.m11(), onScreen.m12()), std::hypot(onScreen.m21(), onScreen.m22()));
    if (squashes(onScreen) || !(layout.font.pixelSize() * stretch < kMaxCachedGlyphPixels)) {
        m_painter.fillPath(layout.outlines(), QColor(rgb(m_s.textColour)));
        return;
    }
    m_painter.setFont(layout.font);
    m_painter.setPen(QColor(rgb(m_s.textColour)));
    if (layout.offsets.isEmpty()) {
        m_painter.drawText(QPointF(layout.x0, layout.baseline), layout.text.text);
    } else {
        for (qsizetype i = 0; i < layout.text.starts.size(); ++i)
            m_painter.drawText(QPointF(layout.x0 + layout.offsets.value(i), layout.baseline), layout.text.character(i));
    }
}

} // namespace metafile

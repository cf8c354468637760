#include "metafile/MetafileCanvas.h"

#include "metafile/FaceNames.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QStringDecoder>

#include <cmath>
#include <numbers>

namespace metafile {
namespace {

// Beyond this distance from the picture (in its pixels) a shape is taken for garbage: Qt's
// rasterizer works in fixed point, and clip art never reaches there.
constexpr double kFar = 4.0 * 1024 * 1024;
constexpr std::size_t kMaxSaveDepth = 1024;
constexpr int kMaxPathElements = 1 << 18;
constexpr int kMaxClipElements = 1 << 14;
constexpr double kMaxTextPixels = 4096;
// The work budget, in units of about a nanosecond of Qt's time (see Work): a second or so for
// any picture, or 32 coats of a large picture if that is more.
constexpr qint64 kMinBudget = 1LL << 30;
constexpr qint64 kCostPerCall = 1024;
constexpr qint64 kCostPerCharacter = 4096;
constexpr qint64 kCostPerPathCharacter = 4096; // glyph outlines are laid out one by one
constexpr qint64 kCostPerClipElement = 4096;   // boolean operations on paths
constexpr qint64 kMaxPatternPixels = 1LL << 22;

bool finite(const QTransform& t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22())
        && std::isfinite(t.dx()) && std::isfinite(t.dy()) && std::isfinite(t.m13()) && std::isfinite(t.m23())
        && std::isfinite(t.m33());
}

bool usable(const QTransform& t)
{
    return finite(t) && t.isAffine() && std::abs(t.determinant()) > 1e-12;
}

// Whether a transform squashes what it draws nearly flat: its smaller stretch under a
// sixteenth of its larger. Qt's glyph cache fails on such a transform (it copies from a glyph
// bitmap that was never made), so text under it is drawn from its outlines.
constexpr double kMaxCachedGlyphPixels = 512;

bool squashes(const QTransform& t)
{
    const double across = std::hypot(t.m11(), t.m12());
    const double down = std::hypot(t.m21(), t.m22());
    const double larger = std::max(across, down);
    return !(larger > 0) || std::abs(t.determinant()) < larger * larger / 256;
}

bool sane(const QRectF& r)
{
    return std::isfinite(r.left()) && std::isfinite(r.top()) && std::isfinite(r.right()) && std::isfinite(r.bottom())
        && std::abs(r.left()) < kFar && std::abs(r.right()) < kFar && std::abs(r.top()) < kFar
        && std::abs(r.bottom()) < kFar;
}

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

// The codec for a font's charset. DEFAULT_CHARSET and OEM_CHARSET text is read as code page
// 932 too: the pictures the program is made for come from Japanese Windows.
struct Charset {
    const char* codec;
    bool (*lead)(quint8);
};

bool sjisLead(quint8 b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool dbcsLead(quint8 b)
{
    return b >= 0x81 && b <= 0xFE;
}

Charset charsetOf(gdi::Charset charset)
{
    using enum gdi::Charset;
    switch (charset) {
    case Ansi: return { "windows-1252", nullptr };
    case Default:
    case ShiftJis:
    case Oem: return { "windows-31j", sjisLead };
    case Symbol: return { "ISO-8859-1", nullptr }; // symbol fonts: the bytes as they are
    case Mac: return { "macintosh", nullptr };
    case Hangul: return { "windows-949", dbcsLead };
    case Gb2312: return { "GBK", dbcsLead };
    case ChineseBig5: return { "Big5", dbcsLead };
    case Greek: return { "windows-1253", nullptr };
    case Turkish: return { "windows-1254", nullptr };
    case Vietnamese: return { "windows-1258", nullptr };
    case Hebrew: return { "windows-1255", nullptr };
    case Arabic: return { "windows-1256", nullptr };
    case Baltic: return { "windows-1257", nullptr };
    case Russian: return { "windows-1251", nullptr };
    case Thai: return { "windows-874", nullptr };
    case EastEurope: return { "windows-1250", nullptr };
    default: return { "windows-1252", nullptr };
    }
}

QString decodeWith(const char* codec, QByteArrayView bytes)
{
    QStringDecoder decoder(codec);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

// Symbol fonts put their own glyphs at the codes 0x20 to 0xFF (and at 0xF020 to 0xF0FF, where
// Unicode text reaches them). Fonts installed here have those glyphs at their Unicode places
// instead, so the codes are translated; 0 leaves a code as it is.
enum class SymbolFace { None, Symbol, Wingdings, MtExtra };

SymbolFace symbolFaceOf(const QString& face)
{
    if (face.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
        return SymbolFace::Symbol;
    if (face.compare(QLatin1String("Wingdings"), Qt::CaseInsensitive) == 0)
        return SymbolFace::Wingdings;
    if (face.compare(QLatin1String("MT Extra"), Qt::CaseInsensitive) == 0)
        return SymbolFace::MtExtra;
    return SymbolFace::None;
}

// The Symbol font: Greek letters and mathematical signs, from 0x20.
constexpr char32_t kSymbolFont[224] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
    0, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0,
};

// Wingdings: office, hand, religious and zodiac signs, circled digits, clocks, arrows.
constexpr char32_t kWingdings[224] = {
    0x0020, 0x1F589, 0x2702, 0x2701, 0x1F453, 0x1F56D, 0x1F56E, 0x1F56F, 0x1F57F, 0x2706, 0x1F582, 0x1F583, 0x1F4EA, 0x1F4EB, 0x1F4EC, 0x1F4ED,
    0x1F5C0, 0x1F5C1, 0x1F5CE, 0x1F5CF, 0x1F5D0, 0x1F5C4, 0x231B, 0x1F5AE, 0x1F5B0, 0x1F5B2, 0x1F5B3, 0x1F5B4, 0x1F5AB, 0x1F5AC, 0x2707, 0x270D,
    0x1F58E, 0x270C, 0x1F44C, 0x1F44D, 0x1F44E, 0x261C, 0x261E, 0x261D, 0x261F, 0x1F590, 0x263A, 0x1F610, 0x2639, 0x1F4A3, 0x2620, 0x1F3F3,
    0x1F3F1, 0x2708, 0x263C, 0x1F4A7, 0x2744, 0x1F546, 0x271E, 0x1F548, 0x2720, 0x2721, 0x262A, 0x262F, 0x0950, 0x2638, 0x2648, 0x2649,
    0x264A, 0x264B, 0x264C, 0x264D, 0x264E, 0x264F, 0x2650, 0x2651, 0x2652, 0x2653, 0x1F670, 0x1F675, 0x25CF, 0x1F53E, 0x25A0, 0x25A1,
    0x1F790, 0x2751, 0x2752, 0x2B27, 0x29EB, 0x25C6, 0x2756, 0x2B25, 0x2327, 0x2BB9, 0x2318, 0x1F3F5, 0x1F3F6, 0x1F676, 0x1F677, 0,
    0x1F10B, 0x2780, 0x2781, 0x2782, 0x2783, 0x2784, 0x2785, 0x2786, 0x2787, 0x2788, 0x2789, 0x1F10C, 0x278A, 0x278B, 0x278C, 0x278D,
    0x278E, 0x278F, 0x2790, 0x2791, 0x2792, 0x2793, 0x1F662, 0x1F660, 0x1F661, 0x1F663, 0x1F65E, 0x1F65C, 0x1F65D, 0x1F65F, 0x00B7, 0x2022,
    0x25AA, 0x26AA, 0x1F786, 0x1F788, 0x25C9, 0x25CE, 0x1F53F, 0x25AA, 0x25FB, 0x1F7C2, 0x2726, 0x2605, 0x2736, 0x2734, 0x2739, 0x2735,
    0x2BD0, 0x2316, 0x27E1, 0x2311, 0x2BD1, 0x272A, 0x2730, 0x1F550, 0x1F551, 0x1F552, 0x1F553, 0x1F554, 0x1F555, 0x1F556, 0x1F557, 0x1F558,
    0x1F559, 0x1F55A, 0x1F55B, 0x2BB0, 0x2BB1, 0x2BB2, 0x2BB3, 0x2BB4, 0x2BB5, 0x2BB6, 0x2BB7, 0x1F66A, 0x1F66B, 0x1F655, 0x1F654, 0x1F657,
    0x1F656, 0x1F659, 0x1F658, 0x1F65B, 0x1F65A, 0x232B, 0x2326, 0x2B98, 0x2B9A, 0x2B99, 0x2B9B, 0x2B88, 0x2B8A, 0x2B89, 0x2B8B, 0x1F868,
    0x1F86A, 0x1F869, 0x1F86B, 0x1F86C, 0x1F86D, 0x1F86F, 0x1F86E, 0x1F878, 0x1F87A, 0x1F879, 0x1F87B, 0x1F87C, 0x1F87D, 0x1F87F, 0x1F87E, 0x21E6,
    0x21E8, 0x21E7, 0x21E9, 0x2B04, 0x21F3, 0x2B00, 0x2B01, 0x2B03, 0x2B02, 0x25AD, 0x25AB, 0x2717, 0x2714, 0x2612, 0x2611, 0,
};

// MT Extra, as Windows installs it with its equation editor: accents drawn on their own (their
// spacing forms here), ellipses, arrows and a few operators.
char32_t mtExtra(quint8 code)
{
    switch (code) {
    case 0x23: return 0x0060;
    case 0x24: return 0x02C6;
    case 0x25: return 0x02DC;
    case 0x26: return 0x02D9;
    case 0x43: return 0x2210;
    case 0x44: return 0x019B;
    case 0x49: return 0x2229;
    case 0x4B: return 0x2026;
    case 0x4C: return 0x22EF;
    case 0x4D: return 0x22EE;
    case 0x4E: return 0x22F0;
    case 0x4F: return 0x22F1;
    case 0x51: return 0x2235;
    case 0x55: return 0x222A;
    case 0x60: return 0x2035;
    case 0x61: return 0x21A6;
    case 0x62: return 0x2195;
    case 0x63: return 0x21D5;
    case 0x68: return 0x210F;
    case 0x6C: return 0x2113;
    default: return 0;
    }
}

char32_t fromSymbolFont(SymbolFace face, char32_t code)
{
    if (code >= 0xF020 && code <= 0xF0FF)
        code -= 0xF000;
    if (code < 0x20 || code > 0xFF)
        return 0;
    switch (face) {
    case SymbolFace::Symbol: return kSymbolFont[code - 0x20];
    case SymbolFace::Wingdings: return kWingdings[code - 0x20];
    case SymbolFace::MtExtra: return mtExtra(quint8(code));
    case SymbolFace::None: break;
    }
    return 0;
}

// The text with each symbol font code at its Unicode place; the advances stay as they were.
GdiText inUnicode(const GdiText& text, SymbolFace face)
{
    GdiText out;
    out.advances = text.advances;
    for (qsizetype i = 0; i < text.starts.size(); ++i) {
        const qsizetype from = text.starts[i];
        const qsizetype to = i + 1 < text.starts.size() ? text.starts[i + 1] : text.text.size();
        const QString piece = text.text.sliced(from, to - from);
        out.starts.append(int(out.text.size()));
        const char32_t mapped = piece.size() == 1 ? fromSymbolFont(face, piece[0].unicode()) : 0;
        out.text += mapped ? QString::fromUcs4(&mapped, 1) : piece;
    }
    return out;
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

QPainterPath rectPath(const QRectF& r)
{
    QPainterPath p;
    p.addRect(r);
    return p;
}

GdiText decodeText(QByteArrayView bytes, gdi::Charset charset, const QList<double>& dx)
{
    // Writers often count a terminating NUL in the length; GDI draws nothing for it.
    qsizetype n = bytes.size();
    while (n > 0 && bytes[n - 1] == '\0')
        --n;
    bytes = bytes.first(n);

    GdiText out;
    const Charset cs = charsetOf(charset);
    QStringDecoder decoder(cs.codec);
    qsizetype i = 0;
    while (i < bytes.size()) {
        const qsizetype len = cs.lead && cs.lead(quint8(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
        const QByteArrayView one = bytes.sliced(i, len);
        const QString piece = decoder.isValid() ? QString(decoder.decode(one)) : QString::fromLatin1(one);
        out.starts.append(int(out.text.size()));
        out.text += piece.isEmpty() ? QString(QChar(0xFFFD)) : piece;
        if (!dx.isEmpty()) {
            double advance = 0;
            for (qsizetype k = i; k < i + len && k < dx.size(); ++k)
                advance += dx[k];
            out.advances.append(advance);
        }
        i += len;
    }
    return out;
}

QString decodeFaceName(QByteArrayView bytes, gdi::Charset charset)
{
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes = bytes.first(nul);
    if (charset == gdi::Charset::Ansi || charset == gdi::Charset::Default || charset == gdi::Charset::Oem) {
        // Face names are in the system code page whatever the charset; here that is 932, unless
        // the bytes are plainly not Shift_JIS.
        QStringDecoder sjis("windows-31j");
        const QString name = sjis.decode(bytes);
        if (sjis.isValid() && !sjis.hasError())
            return name;
        return decodeWith("windows-1252", bytes);
    }
    return decodeWith(charsetOf(charset).codec, bytes);
}

GdiText utf16Text(QString text, const QList<double>& dx)
{
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == QChar(0))
        --n;
    GdiText out;
    for (qsizetype i = 0; i < n;) {
        const qsizetype len = text[i].isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate() ? 2 : 1;
        out.starts.append(int(out.text.size()));
        out.text += text.sliced(i, len);
        if (!dx.isEmpty()) {
            double advance = 0;
            for (qsizetype k = i; k < i + len && k < dx.size(); ++k)
                advance += dx[k];
            out.advances.append(advance);
        }
        i += len;
    }
    return out;
}

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

// Mapping ------------------------------------------------------------------------------------

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

// Attributes ---------------------------------------------------------------------------------

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

gdi::Charset MetafileCanvas::textCharset() const
{
    // Asked for by name with the default charset, GDI gives the symbol font itself, whose codes
    // are single bytes.
    if (m_s.font.charset == gdi::Charset::Default && symbolFaceOf(m_s.font.face) != SymbolFace::None)
        return gdi::Charset::Symbol;
    return m_s.font.charset;
}

bool MetafileCanvas::allowPattern(qint64 pixels)
{
    if (m_patternPixels + pixels > kMaxPatternPixels)
        return false;
    m_patternPixels += pixels;
    return true;
}

// Painter set-up -----------------------------------------------------------------------------

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

void MetafileCanvas::applyRop2()
{
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (m_s.rop2) {
    case gdi::Rop2::NotCopyPen: mode = QPainter::RasterOp_NotSource; break;
    case gdi::Rop2::Not: mode = QPainter::RasterOp_NotDestination; break;
    case gdi::Rop2::XorPen: mode = QPainter::RasterOp_SourceXorDestination; break;
    case gdi::Rop2::MaskPen: mode = QPainter::RasterOp_SourceAndDestination; break;
    case gdi::Rop2::NotXorPen: mode = QPainter::RasterOp_NotSourceXorDestination; break;
    case gdi::Rop2::MergePen: mode = QPainter::RasterOp_SourceOrDestination; break;
    default: break;
    }
    m_painter.setCompositionMode(mode);
}

bool MetafileCanvas::charge(const QRectF& picturePixels, const Work& work)
{
    if (exhausted())
        return false;
    const qreal grow = std::max<qreal>(work.penPixels, 1);
    const QRectF r = picturePixels.normalized().adjusted(-grow, -grow, grow, grow);
    if (!sane(r))
        return false;
    if (m_measuring) {
        // What the drawing would cost apart from its pixels, none of which are touched.
        const qreal half = work.penPixels / 2;
        m_measured |= picturePixels.normalized().adjusted(-half, -half, half, half);
        Work shape = work;
        shape.perPixel = 0;
        chargeCost(QRectF(), shape);
        return false;
    }
    const QRectF seen = r.intersected(m_visible);
    if (seen.isEmpty()) {
        m_budget -= kCostPerCall; // not drawn at all
        return false;
    }
    chargeCost(seen, work);
    return !exhausted();
}

void MetafileCanvas::chargeCost(const QRectF& seen, const Work& work)
{
    double cost = kCostPerCall + seen.width() * seen.height() * work.perPixel;
    // Filling walks every edge down the rows it crosses, keeping the edges on each row sorted;
    // a self-crossing outline costs accordingly. Stroking builds an outline along the whole
    // path, visible or not.
    if (work.fill)
        cost += double(work.elements) * 32
            + std::min(work.rows, double(work.elements) * seen.height()) * 4 * std::log2(2.0 + double(work.elements));
    if (work.stroke)
        cost += double(work.elements) * 256 + work.length * std::max(1.0, work.penPixels);
    cost += double(work.characters) * kCostPerCharacter;
    m_budget -= qint64(std::min(cost, 1e15));
}

void MetafileCanvas::measure(const QPainterPath& path, const QTransform& t, Work& work)
{
    // Through the control points, which bound the curves.
    double length = 0;
    double rows = 0;
    QPointF previous;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPointF p = t.map(QPointF(path.elementAt(i)));
        if (!path.elementAt(i).isMoveTo()) {
            length += std::hypot(p.x() - previous.x(), p.y() - previous.y());
            rows += std::abs(p.y() - previous.y());
        }
        previous = p;
    }
    work.elements = path.elementCount();
    work.length = std::isfinite(length) ? length : 1e15;
    work.rows = std::isfinite(rows) ? rows : 1e15;
}

// Drawing ------------------------------------------------------------------------------------

void MetafileCanvas::draw(const QPainterPath& logical, bool fill, bool stroke)
{
    if (m_pathOpen) {
        addToPath(logical, false);
        return;
    }
    if (m_s.rop2 == gdi::Rop2::Nop)
        return;
    const QTransform& t = full();
    if (!usable(t))
        return;
    QPen pen;
    QBrush brush;
    const bool hasPen = stroke && preparePen(pen, false);
    const bool hasBrush = fill && prepareBrush(brush);
    if (!hasPen && !hasBrush)
        return;
    if (m_s.rop2 == gdi::Rop2::Black || m_s.rop2 == gdi::Rop2::White) {
        const QColor c = m_s.rop2 == gdi::Rop2::Black ? Qt::black : Qt::white;
        pen.setColor(c);
        brush = QBrush(c);
    }
    Work work;
    measure(logical, t, work);
    work.fill = hasBrush;
    work.stroke = hasPen;
    work.penPixels = hasPen ? std::max(1.0, m_s.pen.width * lengthScale()) : 0;
    if (!charge(t.mapRect(logical.controlPointRect()), work))
        return;
    applyClip();
    applyRop2();
    m_painter.setTransform(t * m_base);
    if (hasBrush && m_s.brush.kind == GdiBrush::Kind::Hatched && m_s.bkOpaque) {
        // GDI fills a hatch's gaps with the background colour when the mode is OPAQUE.
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(QColor(rgb(m_s.bkColour)));
        m_painter.drawPath(logical);
    }
    m_painter.setBrush(hasBrush ? brush : QBrush(Qt::NoBrush));
    if (hasPen && pen.style() == Qt::CustomDashLine && m_s.bkOpaque) {
        // Likewise a styled pen's gaps.
        QPen under = pen;
        under.setStyle(Qt::SolidLine);
        under.setColor(QColor(rgb(m_s.bkColour)));
        m_painter.setPen(Qt::NoPen);
        m_painter.drawPath(logical);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.setPen(under);
        m_painter.drawPath(logical);
        m_painter.setPen(pen);
        m_painter.drawPath(logical);
        return;
    }
    m_painter.setPen(hasPen ? pen : QPen(Qt::NoPen));
    m_painter.drawPath(logical);
}

bool MetafileCanvas::pathTooLong() const
{
    return m_path.elementCount() > kMaxPathElements;
}

void MetafileCanvas::addToPath(const QPainterPath& logical, bool continueFigure)
{
    const QTransform& t = full();
    m_budget -= kCostPerCall + 16LL * logical.elementCount();
    if (!usable(t) || m_pathOverflow || exhausted())
        return;
    QPainterPath mapped = t.map(logical);
    if (!sane(mapped.controlPointRect()))
        return;
    if (continueFigure && m_path.elementCount() > 0)
        m_path.connectPath(mapped);
    else
        m_path.addPath(mapped);
    if (pathTooLong())
        overflowPath();
}

void MetafileCanvas::overflowPath()
{
    m_pathOverflow = true;
    m_path = QPainterPath();
}

void MetafileCanvas::moveTo(QPointF p)
{
    m_s.position = p;
}

void MetafileCanvas::lineTo(QPointF p)
{
    QPainterPath path(m_s.position);
    path.lineTo(p);
    if (m_pathOpen) {
        m_budget -= kCostPerCall;
        const QTransform& t = full();
        const QPointF from = t.map(m_s.position);
        const QPointF to = t.map(p);
        if (usable(t) && sane(QRectF(from, to)) && !m_pathOverflow) {
            if (m_path.elementCount() == 0 || m_path.currentPosition() != from)
                m_path.moveTo(from);
            m_path.lineTo(to);
            if (pathTooLong())
                overflowPath();
        }
    } else {
        draw(path, false, true);
    }
    m_s.position = p;
}

void MetafileCanvas::polyline(const QList<QPointF>& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    draw(path, false, true);
}

void MetafileCanvas::polylineTo(const QList<QPointF>& points)
{
    for (const QPointF& p : points)
        lineTo(p);
}

void MetafileCanvas::polygon(const QList<QPointF>& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.setFillRule(m_s.winding ? Qt::WindingFill : Qt::OddEvenFill);
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    draw(path, true, true);
}

void MetafileCanvas::polyPolygon(const QList<QList<QPointF>>& polygons)
{
    QPainterPath path;
    path.setFillRule(m_s.winding ? Qt::WindingFill : Qt::OddEvenFill);
    for (const QList<QPointF>& polygon : polygons) {
        if (polygon.size() < 2)
            continue;
        path.addPolygon(QPolygonF(polygon));
        path.closeSubpath();
    }
    if (!path.isEmpty())
        draw(path, true, true);
}

void MetafileCanvas::polyPolyline(const QList<QList<QPointF>>& polylines)
{
    QPainterPath path;
    for (const QList<QPointF>& line : polylines) {
        if (line.size() >= 2)
            path.addPolygon(QPolygonF(line));
    }
    if (!path.isEmpty())
        draw(path, false, true);
}

void MetafileCanvas::polyBezier(const QList<QPointF>& points)
{
    if (points.size() < 4)
        return;
    QPainterPath path(points[0]);
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    draw(path, false, true);
}

void MetafileCanvas::polyBezierTo(const QList<QPointF>& points)
{
    if (points.size() < 3)
        return;
    QPainterPath path(m_s.position);
    qsizetype i = 0;
    for (; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (m_pathOpen)
        addToPath(path, true);
    else
        draw(path, false, true);
    m_s.position = points[i - 1];
}

void MetafileCanvas::polyDraw(const QList<QPointF>& points, const QList<quint8>& types)
{
    enum : quint8 { Close = 1, Line = 2, Bezier = 4, Move = 6 };
    QPainterPath path(m_s.position);
    for (qsizetype i = 0; i < points.size() && i < types.size(); ++i) {
        const quint8 type = types[i] & ~Close;
        if (type == Move) {
            path.moveTo(points[i]);
        } else if (type == Line) {
            path.lineTo(points[i]);
        } else if (type == Bezier && i + 2 < points.size() && (types[i + 1] & ~Close) == Bezier
                   && (types[i + 2] & ~Close) == Bezier) {
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
        } else {
            return; // GDI refuses the whole call
        }
        if (types[i] & Close)
            path.closeSubpath();
    }
    if (m_pathOpen)
        addToPath(path, true);
    else
        draw(path, false, true);
    if (!points.isEmpty())
        m_s.position = path.currentPosition();
}

void MetafileCanvas::rectangle(const QRectF& box)
{
    QRectF r = box.normalized();
    if (m_s.pen.flags.style() == gdi::PenStyle::InsideFrame && m_s.pen.width > 1) {
        const double half = m_s.pen.width / 2;
        r.adjust(half, half, -half, -half);
    }
    draw(rectPath(r), true, true);
}

void MetafileCanvas::roundRect(const QRectF& box, QSizeF corner)
{
    const QRectF r = box.normalized();
    QPainterPath path;
    path.addRoundedRect(r, std::min(std::abs(corner.width()) / 2, r.width() / 2),
                        std::min(std::abs(corner.height()) / 2, r.height() / 2));
    draw(path, true, true);
}

void MetafileCanvas::ellipse(const QRectF& box)
{
    QRectF r = box.normalized();
    if (m_s.pen.flags.style() == gdi::PenStyle::InsideFrame && m_s.pen.width > 1) {
        const double half = m_s.pen.width / 2;
        r.adjust(half, half, -half, -half);
    }
    QPainterPath path;
    path.addEllipse(r);
    draw(path, true, true);
}

QPainterPath MetafileCanvas::arcPath(const QRectF& box, QPointF start, QPointF end, ArcKind kind, bool* ok)
{
    *ok = false;
    const QRectF r = box.normalized();
    if (r.width() <= 0 || r.height() <= 0)
        return {};
    const QPointF c = r.center();
    const double rx = r.width() / 2;
    const double ry = r.height() / 2;
    // The radial through each point meets the ellipse at this angle of Qt's (y upwards).
    auto angle = [&](QPointF p) {
        const double dx = (p.x() - c.x()) / rx;
        const double dy = -(p.y() - c.y()) / ry;
        return dx == 0 && dy == 0 ? 0.0 : std::atan2(dy, dx) * 180 / std::numbers::pi;
    };
    const double a0 = angle(start);
    const double a1 = angle(end);
    // Anticlockwise as seen on the picture unless told otherwise; where the mapping turns the y
    // axis upwards, that is clockwise in logical units.
    bool positive = !m_s.clockwise;
    if (full().determinant() < 0)
        positive = !positive;
    double sweep = a1 - a0;
    if (positive) {
        while (sweep <= 0)
            sweep += 360;
    } else {
        while (sweep >= 0)
            sweep -= 360;
    }
    QPainterPath path;
    if (kind == ArcKind::Pie) {
        path.moveTo(c);
        path.arcTo(r, a0, sweep);
        path.closeSubpath();
    } else {
        path.arcMoveTo(r, a0);
        path.arcTo(r, a0, sweep);
        if (kind == ArcKind::Chord)
            path.closeSubpath();
    }
    *ok = true;
    return path;
}

void MetafileCanvas::arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind)
{
    bool ok = false;
    QPainterPath path = arcPath(box, start, end, kind, &ok);
    if (!ok)
        return;
    if (kind == ArcKind::ArcTo) {
        QPainterPath withLine(m_s.position);
        withLine.lineTo(path.elementAt(0));
        withLine.connectPath(path);
        if (m_pathOpen)
            addToPath(withLine, true);
        else
            draw(withLine, false, true);
        m_s.position = path.currentPosition();
        return;
    }
    if (m_pathOpen) {
        addToPath(path, false);
        return;
    }
    path.setFillRule(m_s.winding ? Qt::WindingFill : Qt::OddEvenFill);
    draw(path, kind != ArcKind::Arc, true);
}

void MetafileCanvas::angleArc(QPointF centre, double radius, double startDegrees, double sweepDegrees)
{
    if (!std::isfinite(startDegrees) || !std::isfinite(sweepDegrees) || radius <= 0)
        return;
    startDegrees = std::fmod(startDegrees, 360);
    sweepDegrees = std::clamp(sweepDegrees, -3600.0, 3600.0);
    const QRectF r(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(m_s.position);
    QPainterPath arcOnly;
    arcOnly.arcMoveTo(r, startDegrees);
    path.lineTo(arcOnly.currentPosition());
    path.arcTo(r, startDegrees, sweepDegrees);
    if (m_pathOpen)
        addToPath(path, true);
    else
        draw(path, false, true);
    m_s.position = path.currentPosition();
}

void MetafileCanvas::setPixel(QPointF p, quint32 colourRef)
{
    const QTransform& t = full();
    if (m_pathOpen || !usable(t))
        return;
    const QPointF at = t.map(p);
    if (!charge(QRectF(at, QSizeF(1, 1))))
        return;
    applyClip();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setTransform(m_base);
    m_painter.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), QColor(rgb(colourRef)));
}

// Text ---------------------------------------------------------------------------------------

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
    const QTransform& t = full();
    if (!usable(t))
        return;
    if (rect && options.testFlag(gdi::TextOutOption::Opaque) && !m_pathOpen) {
        const QRectF box = rect->normalized();
        if (charge(t.mapRect(box))) {
            applyClip();
            m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            m_painter.setTransform(t * m_base);
            m_painter.fillRect(box, QColor(rgb(m_s.bkColour)));
        }
    }
    // Glyph indexes belong to the font the file was made with, which is not here.
    if (text.text.isEmpty() || options.testFlag(gdi::TextOutOption::GlyphIndex))
        return;
    QFont font;
    if (!qtFont(font))
        return;
    const QFontMetricsF metrics(font);

    const bool useCp = m_s.textAlign.updatesCurrentPosition();
    const QPointF origin = t.map(useCp ? m_s.position : reference);
    const double xScale = std::hypot(t.m11(), t.m12());
    const auto character = [&](qsizetype i) {
        const qsizetype from = text.starts[i];
        const qsizetype to = i + 1 < text.starts.size() ? text.starts[i + 1] : text.text.size();
        return text.text.sliced(from, to - from);
    };
    QList<double> offsets; // each character's start along the baseline, picture pixels
    double width = 0;
    if (!text.advances.isEmpty()) {
        offsets.reserve(text.advances.size());
        for (double a : text.advances) {
            offsets.append(width);
            width += a * xScale;
        }
    } else if (m_s.charExtra != 0) {
        offsets.reserve(text.starts.size());
        for (qsizetype i = 0; i < text.starts.size(); ++i) {
            offsets.append(width);
            width += metrics.horizontalAdvance(character(i)) + m_s.charExtra * xScale;
        }
    } else {
        width = metrics.horizontalAdvance(text.text);
    }
    if (!std::isfinite(width) || std::abs(width) > kFar)
        return;

    const gdi::HorizontalAlign horizontal = m_s.textAlign.horizontal();
    double x0 = 0;
    if (horizontal == gdi::HorizontalAlign::Centre)
        x0 = -width / 2;
    else if (horizontal == gdi::HorizontalAlign::Right)
        x0 = -width;
    double baseline = metrics.ascent();
    if (m_s.textAlign.vertical() == gdi::VerticalAlign::Baseline)
        baseline = 0;
    else if (m_s.textAlign.vertical() == gdi::VerticalAlign::Bottom)
        baseline = -metrics.descent();

    // Text stays upright in the picture, turned by the escapement and by any rotation of the
    // world; a mapping that only turns y upwards leaves it as it is.
    double angle = -m_s.font.escapement / 10;
    if (t.m11() != 0 || t.m12() != 0)
        angle += std::atan2(t.m12(), std::abs(t.m11())) * 180 / std::numbers::pi;
    const QTransform local = QTransform().rotate(std::isfinite(angle) ? std::fmod(angle, 360) : 0)
        * QTransform::fromTranslate(origin.x(), origin.y());
    const QRectF cell(x0, baseline - metrics.ascent(), width, metrics.ascent() + metrics.descent());

    if (useCp) {
        const double along = horizontal == gdi::HorizontalAlign::Centre ? 0
            : horizontal == gdi::HorizontalAlign::Right                 ? x0
                                                                        : x0 + width;
        m_s.position = t.inverted().map(local.map(QPointF(along, 0)));
    }

    // The characters as outlines, each at its own place when the file spaces them.
    const auto outlines = [&] {
        QPainterPath glyphs;
        if (offsets.isEmpty()) {
            glyphs.addText(QPointF(x0, baseline), font, text.text);
        } else {
            for (qsizetype i = 0; i < text.starts.size(); ++i)
                glyphs.addText(QPointF(x0 + offsets.value(i), baseline), font, character(i));
        }
        return glyphs;
    };

    if (m_pathOpen) {
        m_budget -= kCostPerPathCharacter * text.starts.size();
        if (m_pathOverflow || exhausted())
            return;
        QPainterPath mapped = local.map(outlines());
        if (sane(mapped.controlPointRect()) && !m_pathOverflow)
            m_path.addPath(mapped);
        if (pathTooLong())
            overflowPath();
        return;
    }

    Work work;
    work.characters = text.starts.size();
    if (!charge(local.mapRect(cell), work))
        return;
    applyClip();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (rect && options.testFlag(gdi::TextOutOption::Clipped)) {
        m_painter.setTransform(t * m_base);
        m_painter.setClipRect(rect->normalized(), m_painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
        m_clipDirty = true;
        m_plusClips.reset();
    }
    m_painter.setTransform(local * m_base);
    if (m_s.bkOpaque)
        m_painter.fillRect(cell, QColor(rgb(m_s.bkColour)));
    // Glyphs hundreds of pixels tall gain nothing from the glyph cache, and past a few thousand
    // FreeType cannot render them and Qt copies from a bitmap that was never made.
    const QTransform onScreen = local * m_base;
    const double stretch = std::max(std::hypot(onScreen.m11(), onScreen.m12()), std::hypot(onScreen.m21(), onScreen.m22()));
    if (squashes(onScreen) || !(font.pixelSize() * stretch < kMaxCachedGlyphPixels)) {
        m_painter.fillPath(outlines(), QColor(rgb(m_s.textColour)));
        return;
    }
    m_painter.setFont(font);
    m_painter.setPen(QColor(rgb(m_s.textColour)));
    if (offsets.isEmpty()) {
        m_painter.drawText(QPointF(x0, baseline), text.text);
    } else {
        for (qsizetype i = 0; i < text.starts.size(); ++i)
            m_painter.drawText(QPointF(x0 + offsets.value(i), baseline), character(i));
    }
}

// Bitmaps ------------------------------------------------------------------------------------

void MetafileCanvas::stretchBlt(const QRectF& dest, const QImage& image, const QRectF& source, gdi::RasterOp rop)
{
    if (m_pathOpen || dest.width() == 0 || dest.height() == 0)
        return;
    const QTransform& t = full();
    if (!usable(t))
        return;
    const QPainterPath box = rectPath(dest.normalized());

    auto fillWith = [&](const QBrush& brush, QPainter::CompositionMode mode) {
        if (!charge(t.mapRect(dest.normalized())))
            return;
        applyClip();
        m_painter.setCompositionMode(mode);
        m_painter.setTransform(t * m_base);
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(brush);
        m_painter.drawPath(box);
    };
    QBrush pattern;
    switch (rop) {
    case gdi::RasterOp::Blackness:
        fillWith(Qt::black, QPainter::CompositionMode_SourceOver);
        return;
    case gdi::RasterOp::Whiteness:
        fillWith(Qt::white, QPainter::CompositionMode_SourceOver);
        return;
    case gdi::RasterOp::DstInvert:
        fillWith(Qt::white, QPainter::RasterOp_SourceXorDestination);
        return;
    case gdi::RasterOp::PatCopy:
        if (prepareBrush(pattern))
            fillWith(pattern, QPainter::CompositionMode_SourceOver);
        return;
    case gdi::RasterOp::PatInvert:
        if (prepareBrush(pattern))
            fillWith(pattern, QPainter::RasterOp_SourceXorDestination);
        return;
    case gdi::RasterOp::Destination:
        return;
    default:
        break;
    }
    if (image.isNull() || source.width() == 0 || source.height() == 0)
        return;

    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (rop) {
    case gdi::RasterOp::SrcPaint: mode = QPainter::RasterOp_SourceOrDestination; break;
    case gdi::RasterOp::SrcAnd: mode = QPainter::RasterOp_SourceAndDestination; break;
    case gdi::RasterOp::SrcInvert: mode = QPainter::RasterOp_SourceXorDestination; break;
    case gdi::RasterOp::SrcErase: mode = QPainter::RasterOp_SourceAndNotDestination; break;
    case gdi::RasterOp::NotSrcCopy: mode = QPainter::RasterOp_NotSource; break;
    case gdi::RasterOp::NotSrcErase: mode = QPainter::RasterOp_NotSourceAndNotDestination; break;
    case gdi::RasterOp::MergePaint: mode = QPainter::RasterOp_NotSourceOrDestination; break;
    default: break; // SRCCOPY, and the rest drawn as a copy
    }

    // Source pixels onto the destination, mirrored where the signs of the sizes differ.
    const double sx = dest.width() / source.width();
    const double sy = dest.height() / source.height();
    const QTransform sourceToLogical(sx, 0, 0, sy, dest.x() - source.x() * sx, dest.y() - source.y() * sy);
    const QRect part = source.normalized().toAlignedRect().intersected(image.rect());
    drawImagePart(sourceToLogical * t, image, part, mode);
}

bool MetafileCanvas::drawImagePart(const QTransform& toPicture, const QImage& image, const QRect& part,
                                   QPainter::CompositionMode mode)
{
    Work work;
    work.perPixel = 4; // sampled through a transform
    if (part.isEmpty() || !usable(toPicture) || !charge(toPicture.mapRect(QRectF(part)), work))
        return false;
    applyClip();
    m_painter.setCompositionMode(mode);
    m_painter.setTransform(toPicture * m_base);
    m_painter.drawImage(part.topLeft(), image, part);
    return true;
}

void MetafileCanvas::alphaBlend(const QRectF& dest, const QImage& image, const QRectF& source, int constantAlpha)
{
    if (m_pathOpen || image.isNull() || dest.width() == 0 || dest.height() == 0 || source.width() == 0
        || source.height() == 0)
        return;
    const QTransform& t = full();
    const double sx = dest.width() / source.width();
    const double sy = dest.height() / source.height();
    const QTransform toPicture = QTransform(sx, 0, 0, sy, dest.x() - source.x() * sx, dest.y() - source.y() * sy) * t;
    const QRect part = source.normalized().toAlignedRect().intersected(image.rect());
    m_painter.setOpacity(std::clamp(constantAlpha, 0, 255) / 255.0);
    drawImagePart(toPicture, image, part, QPainter::CompositionMode_SourceOver);
    m_painter.setOpacity(1);
}

void MetafileCanvas::parallelogramBlt(const std::array<QPointF, 3>& corners, const QImage& image, const QRectF& source)
{
    if (m_pathOpen || image.isNull() || source.width() == 0 || source.height() == 0)
        return;
    // The source's corners (left, top), (right, top) and (left, bottom) onto the three points.
    const QPointF across = (corners[1] - corners[0]) / source.width();
    const QPointF down = (corners[2] - corners[0]) / source.height();
    const QTransform sourceToLogical(across.x(), across.y(), down.x(), down.y(),
                                     corners[0].x() - source.x() * across.x() - source.y() * down.x(),
                                     corners[0].y() - source.x() * across.y() - source.y() * down.y());
    const QRect part = source.normalized().toAlignedRect().intersected(image.rect());
    drawImagePart(sourceToLogical * full(), image, part, QPainter::CompositionMode_SourceOver);
}

// GDI+ ----------------------------------------------------------------------------------------

void MetafileCanvas::plusPath(const QPainterPath& path, const QPen& pen, const QBrush& brush,
                              const QList<QPainterPath>& clips, bool antialias)
{
    const bool stroke = pen.style() != Qt::NoPen;
    const bool fill = brush.style() != Qt::NoBrush;
    if (!stroke && !fill)
        return;
    Work work;
    measure(path, QTransform(), work);
    work.fill = fill;
    work.stroke = stroke;
    work.penPixels = stroke ? std::max(1.0, pen.widthF()) : 0;
    if (!charge(path.controlPointRect(), work))
        return;
    applyPlusClip(clips);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setRenderHint(QPainter::Antialiasing, antialias);
    m_painter.setPen(pen);
    m_painter.setBrush(brush);
    m_painter.drawPath(path);
    m_painter.setRenderHint(QPainter::Antialiasing, false);
}

void MetafileCanvas::plusImage(const QTransform& imageToPicture, const QImage& image, const QRect& part,
                               const QList<QPainterPath>& clips, bool smooth)
{
    Work work;
    work.perPixel = 4;
    if (part.isEmpty() || !usable(imageToPicture) || !charge(imageToPicture.mapRect(QRectF(part)), work))
        return;
    applyPlusClip(clips);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    m_painter.setTransform(imageToPicture * m_base);
    m_painter.drawImage(part.topLeft(), image, part);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

void MetafileCanvas::plusClear(const QColor& colour, const QList<QPainterPath>& clips)
{
    if (m_measuring || !charge(m_visible))
        return;
    applyPlusClip(clips);
    // The picture's background is white: a clear or half-clear colour is what it leaves on white.
    const double a = colour.alphaF();
    const auto over = [a](int c) { return int(std::lround(c * a + 255 * (1 - a))); };
    m_painter.setCompositionMode(QPainter::CompositionMode_Source);
    m_painter.fillRect(m_visible, QColor(over(colour.red()), over(colour.green()), over(colour.blue())));
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// Gradients and regions -----------------------------------------------------------------------

void MetafileCanvas::gradientRect(QPointF from, QPointF to, QRgb fromColour, QRgb toColour, bool vertical)
{
    const QRectF box = QRectF(from, to).normalized();
    const QTransform& t = full();
    if (m_pathOpen || box.isEmpty() || !usable(t) || !charge(t.mapRect(box)))
        return;
    QLinearGradient gradient(vertical ? QPointF(0, from.y()) : QPointF(from.x(), 0),
                             vertical ? QPointF(0, to.y()) : QPointF(to.x(), 0));
    gradient.setColorAt(0, QColor(fromColour));
    gradient.setColorAt(1, QColor(toColour));
    applyClip();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setTransform(t * m_base);
    m_painter.fillRect(box, gradient);
}

void MetafileCanvas::gradientTriangle(const std::array<QPointF, 3>& corners, const std::array<QRgb, 3>& colours)
{
    const QTransform& t = full();
    if (m_pathOpen || !usable(t))
        return;
    const QPointF a = t.map(corners[0]);
    const QPointF b = t.map(corners[1]);
    const QPointF c = t.map(corners[2]);
    const double area = (b.x() - a.x()) * (c.y() - a.y()) - (c.x() - a.x()) * (b.y() - a.y());
    const QRectF bounds = QPolygonF({ a, b, c }).boundingRect();
    Work work;
    work.perPixel = 8; // each pixel's colour worked out here
    if (std::abs(area) < 1e-9 || !charge(bounds, work))
        return;
    const QRect pixels = bounds.intersected(m_visible).toAlignedRect();
    applyClip();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setTransform(m_base);
    // Each pixel whose centre lies inside takes the corners' colours weighted by its barycentric
    // coordinates, as GDI shades; the rest stay transparent. In tiles, so no picture-sized
    // buffer is needed.
    constexpr int kTile = 256;
    QImage tile(kTile, kTile, QImage::Format_ARGB32_Premultiplied);
    for (int y0 = pixels.top(); y0 <= pixels.bottom(); y0 += kTile) {
        for (int x0 = pixels.left(); x0 <= pixels.right(); x0 += kTile) {
            const int w = std::min(kTile, pixels.right() + 1 - x0);
            const int h = std::min(kTile, pixels.bottom() + 1 - y0);
            tile.fill(Qt::transparent);
            for (int y = 0; y < h; ++y) {
                QRgb* line = reinterpret_cast<QRgb*>(tile.scanLine(y));
                const double py = y0 + y + 0.5;
                for (int x = 0; x < w; ++x) {
                    const double px = x0 + x + 0.5;
                    const double wa = ((b.x() - px) * (c.y() - py) - (c.x() - px) * (b.y() - py)) / area;
                    const double wb = ((c.x() - px) * (a.y() - py) - (a.x() - px) * (c.y() - py)) / area;
                    const double wc = 1 - wa - wb;
                    if (wa < 0 || wb < 0 || wc < 0)
                        continue;
                    auto mix = [&](int (*channel)(QRgb)) {
                        return std::clamp(int(std::lround(wa * channel(colours[0]) + wb * channel(colours[1])
                                                          + wc * channel(colours[2]))),
                                          0, 255);
                    };
                    line[x] = qRgb(mix(qRed), mix(qGreen), mix(qBlue));
                }
            }
            m_painter.drawImage(QPoint(x0, y0), tile, QRect(0, 0, w, h));
        }
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

// Clipping -----------------------------------------------------------------------------------

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

// Paths --------------------------------------------------------------------------------------

void MetafileCanvas::beginPath()
{
    m_pathWidened = false;
    m_pathOpen = true;
    m_pathDone = false;
    m_pathOverflow = false;
    m_path = QPainterPath();
}

void MetafileCanvas::endPath()
{
    if (!m_pathOpen)
        return;
    m_pathOpen = false;
    m_pathDone = !m_pathOverflow;
    m_pathOverflow = false;
}

void MetafileCanvas::abortPath()
{
    m_pathWidened = false;
    m_pathOpen = false;
    m_pathDone = false;
    m_pathOverflow = false;
    m_path = QPainterPath();
}

void MetafileCanvas::closeFigure()
{
    if (m_pathOpen && !m_pathOverflow)
        m_path.closeSubpath();
}

void MetafileCanvas::fillPath()
{
    if (!m_pathDone)
        return;
    QPainterPath path = m_path;
    const bool widened = m_pathWidened;
    abortPath();
    // A widened path left in pieces overlaps itself where the stroke turns; alternate filling
    // would punch holes in the joins that stroking never leaves.
    path.setFillRule(m_s.winding || widened ? Qt::WindingFill : Qt::OddEvenFill);
    QBrush brush;
    Work work;
    measure(path, QTransform(), work);
    work.fill = true;
    if (m_s.rop2 == gdi::Rop2::Nop || !prepareBrush(brush) || !charge(path.controlPointRect(), work))
        return;
    if (m_s.brush.kind == GdiBrush::Kind::Pattern)
        brush.setTransform(QTransform());
    applyClip();
    applyRop2();
    m_painter.setTransform(m_base);
    if (m_s.brush.kind == GdiBrush::Kind::Hatched && m_s.bkOpaque)
        m_painter.fillPath(path, QColor(rgb(m_s.bkColour)));
    m_painter.fillPath(path, brush);
}

void MetafileCanvas::strokePath()
{
    if (!m_pathDone)
        return;
    const QPainterPath path = m_path;
    abortPath();
    QPen pen;
    if (m_s.rop2 == gdi::Rop2::Nop || !preparePen(pen, true))
        return;
    Work work;
    measure(path, QTransform(), work);
    work.stroke = true;
    work.penPixels = std::max(1.0, pen.widthF());
    if (!charge(path.controlPointRect(), work))
        return;
    applyClip();
    applyRop2();
    m_painter.setTransform(m_base);
    m_painter.strokePath(path, pen);
}

void MetafileCanvas::strokeAndFillPath()
{
    if (!m_pathDone)
        return;
    const QPainterPath path = m_path;
    fillPath();
    m_path = path;
    m_pathDone = true;
    strokePath();
}

void MetafileCanvas::widenPath()
{
    // The path becomes the outline of what stroking it with the current pen would paint, for
    // filling or clipping with afterwards. GDI widens only with a pen wider than a pixel once
    // rounded to whole pixels; with any other the path stays as it is.
    if (!m_pathDone)
        return;
    QPen pen;
    if (!preparePen(pen, true) || pen.style() == Qt::NoPen || pen.widthF() < 1.5)
        return;
    Work work;
    measure(m_path, QTransform(), work);
    work.stroke = true;
    work.penPixels = std::max(1.0, pen.widthF());
    if (!charge(m_path.controlPointRect(), work))
        return;
    QPainterPathStroker stroker(pen);
    m_path = stroker.createStroke(m_path);
    // The stroker gives overlapping pieces, one for each segment and join. Merged into one
    // outline they fill, clip and stroke like the single shape GDI makes; a path too long to
    // merge quickly keeps its pieces and is filled so that they do not cancel out.
    constexpr int kMaxMergedElements = 4096;
    if (m_path.elementCount() <= kMaxMergedElements)
        m_path = m_path.simplified();
    else
        m_pathWidened = true;
}

void MetafileCanvas::selectClipPath(gdi::RegionMode mode)
{
    if (!m_pathDone)
        return;
    QPainterPath path = m_path;
    const bool widened = m_pathWidened;
    abortPath();
    path.setFillRule(m_s.winding || widened ? Qt::WindingFill : Qt::OddEvenFill);
    combineClip(path, mode);
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

#include "metafile/GdiText.h"

#include <QStringDecoder>

#include <utility>

namespace metafile {
namespace {

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

// A character's advance: the record's advances for each of its len units from i, summed.
double advanceOf(const QList<double>& dx, qsizetype i, qsizetype len)
{
    double advance = 0;
    for (qsizetype k = i; k < i + len && k < dx.size(); ++k)
        advance += dx[k];
    return advance;
}

QString decodeWith(const char* codec, QByteArrayView bytes)
{
    QStringDecoder decoder(codec);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

} // namespace

QString GdiText::character(qsizetype i) const
{
    const qsizetype from = starts[i];
    const qsizetype to = i + 1 < starts.size() ? starts[i + 1] : text.size();
    return text.sliced(from, to - from);
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
        if (!dx.isEmpty())
            out.advances.append(advanceOf(dx, i, len));
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
        if (!dx.isEmpty())
            out.advances.append(advanceOf(dx, i, len));
        i += len;
    }
    return out;
}

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

namespace {

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
constexpr std::pair<quint8, char32_t> kMtExtra[] = {
    { 0x23, 0x0060 }, { 0x24, 0x02C6 }, { 0x25, 0x02DC }, { 0x26, 0x02D9 }, { 0x43, 0x2210 },
    { 0x44, 0x019B }, { 0x49, 0x2229 }, { 0x4B, 0x2026 }, { 0x4C, 0x22EF }, { 0x4D, 0x22EE },
    { 0x4E, 0x22F0 }, { 0x4F, 0x22F1 }, { 0x51, 0x2235 }, { 0x55, 0x222A }, { 0x60, 0x2035 },
    { 0x61, 0x21A6 }, { 0x62, 0x2195 }, { 0x63, 0x21D5 }, { 0x68, 0x210F }, { 0x6C, 0x2113 },
};

char32_t mtExtra(quint8 code)
{
    for (const auto& [from, to] : kMtExtra) {
        if (from == code)
            return to;
    }
    return 0;
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

} // namespace

GdiText inUnicode(const GdiText& text, SymbolFace face)
{
    GdiText out;
    out.advances = text.advances;
    for (qsizetype i = 0; i < text.starts.size(); ++i) {
        const QString piece = text.character(i);
        out.starts.append(int(out.text.size()));
        const char32_t mapped = piece.size() == 1 ? fromSymbolFont(face, piece[0].unicode()) : 0;
        out.text += mapped ? QString::fromUcs4(&mapped, 1) : piece;
    }
    return out;
}

} // namespace metafile

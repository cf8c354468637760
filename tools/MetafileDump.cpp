#include "tools/MetafileDump.h"

#include "metafile/EmfPlusRecords.h"
#include "metafile/EmfRecords.h"
#include "metafile/WmfRecords.h"

#include <QString>

#include <array>
#include <concepts>
#include <iomanip>
#include <sstream>

namespace metafile {

namespace {

constexpr quint32 kEmfSignature = 0x464D4520; // " EMF"
constexpr quint32 kEmfPlusSignature = 0x2B464D45; // "EMF+"
constexpr int kPointsShown = 4;

std::string hex(quint64 value)
{
    std::ostringstream s;
    s << "0x" << std::hex << std::uppercase << value;
    return s.str();
}

// Field values as text. Numbers that are bit sets or colours read best in hex, so those go by
// their field's name.
class FieldPrinter {
public:
    explicit FieldPrinter(std::ostream& out)
        : m_out(out)
    {
    }

    template <class T> void operator()(const char* name, const T& value)
    {
        m_out << ' ' << name << '=';
        const std::string field(name);
        m_textAs = field == "text" ? Text::Bytes : field == "utf16" ? Text::Utf16 : Text::None;
        m_hex = field == "colour" || field == "rop" || field == "rop4" || field == "options" || field == "identifier"
            || field == "style";
        print(value);
    }

private:
    template <std::integral T> void print(T v)
    {
        if (m_hex && v >= 0)
            m_out << hex(quint64(v));
        else
            m_out << qint64(v);
    }
    void print(bool v) { m_out << (v ? "yes" : "no"); }
    template <class E> requires std::is_enum_v<E> void print(E v) { print(std::underlying_type_t<E>(v)); }
    void print(gdi::TextOutOptions v) { print(quint32(v.toInt())); }
    void print(double v) { m_out << v; }
    void print(float v) { m_out << v; }
    // Control characters, which a file may hold anywhere, are shown by their code.
    void print(const QString& v)
    {
        QString shown;
        for (const QChar c : v) {
            if (c.unicode() < 0x20 || c == u'"' || c == u'\\')
                shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                shown += c;
        }
        m_out << '"' << shown.toStdString() << '"';
    }
    void print(const QPointF& p) { m_out << '(' << p.x() << ',' << p.y() << ')'; }
    void print(const QPoint& p) { print(QPointF(p)); }
    void print(const QSizeF& s) { m_out << s.width() << 'x' << s.height(); }
    void print(const QSize& s) { print(QSizeF(s)); }
    void print(const QRectF& r)
    {
        print(r.topLeft());
        m_out << '+';
        print(r.size());
    }
    void print(const QRect& r) { m_out << '(' << r.left() << ',' << r.top() << ")-(" << r.right() << ',' << r.bottom() << ')'; }
    void print(const QTransform& t)
    {
        m_out << '[' << t.m11() << ' ' << t.m12() << ' ' << t.m21() << ' ' << t.m22() << ' ' << t.dx() << ' ' << t.dy() << ']';
    }
    void print(const QPainterPath& path) { m_out << "region"; print(path.boundingRect()); }
    // Bytes are shown by length, or as text where they are text: 8-bit text in whatever charset
    // its font names, so anything outside ASCII is shown as its byte.
    void print(const Bytes& b)
    {
        if (m_textAs == Text::Utf16) {
            QString text(b.size() / 2, Qt::Uninitialized);
            for (qint64 i = 0; i < b.size() / 2; ++i)
                text[i] = QChar(b.u16(2 * i));
            print(text);
        } else if (m_textAs == Text::Bytes) {
            m_out << '"';
            for (qint64 i = 0; i < b.size(); ++i) {
                const quint8 c = b.u8(i);
                if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"')
                    m_out << char(c);
                else
                    m_out << "\\x" << std::hex << std::setw(2) << std::setfill('0') << int(c) << std::dec;
            }
            m_out << '"';
        } else {
            m_out << b.size() << " bytes";
        }
    }
    void print(const GdiPen& pen)
    {
        m_out << "{style=" << hex(pen.flags.bits) << " width=" << pen.width << " colour=" << hex(pen.colour) << '}';
    }
    void print(const GdiBrush& brush)
    {
        static const char* const kinds[] = { "solid", "null", "hatched", "pattern" };
        m_out << '{' << kinds[int(brush.kind)] << " colour=" << hex(brush.colour) << " hatch=" << quint32(brush.hatch) << '}';
    }
    void print(const GdiFont& font)
    {
        m_out << "{face=";
        print(font.face);
        m_out << " height=" << font.height << " width=" << font.width
              << " escapement=" << font.escapement << " weight=" << font.weight << " italic=" << font.italic
              << " charset=" << int(font.charset) << '}';
    }
    void print(const QList<QPointF>& points)
    {
        m_out << points.size();
        for (qsizetype i = 0; i < points.size() && i < kPointsShown; ++i)
            print(points[i]);
        if (points.size() > kPointsShown)
            m_out << "...";
    }
    void print(const std::array<QPointF, 3>& corners)
    {
        for (const QPointF& p : corners)
            print(p);
    }
    template <class T> void print(const QList<QList<T>>& lists)
    {
        m_out << lists.size() << " of";
        for (const QList<T>& list : lists)
            m_out << ' ' << list.size();
    }
    template <class T> void print(const QList<T>& list) { m_out << list.size() << " entries"; }
    template <class T> void print(const std::optional<T>& value)
    {
        if (value)
            print(*value);
        else
            m_out << "none";
    }
    template <class T> requires requires(const T& t, FieldPrinter& p) { t.fields(p); }
    void print(const T& value)
    {
        m_out << '{';
        value.fields(*this);
        m_out << " }";
    }
    template <class T> requires requires(const T& t, FieldPrinter& p) { t.fields(p); }
    void print(const QList<T>& list)
    {
        for (const T& item : list)
            print(item);
    }

    enum class Text { None, Bytes, Utf16 };
    std::ostream& m_out;
    bool m_hex = false;
    Text m_textAs = Text::None;
};

// The record's own fields, or what became of it in the player.
template <class Record> void printFields(const std::optional<Record>& record, std::ostream& out)
{
    if (!record) {
        out << " (passed over: too short, or its data does not add up)";
        return;
    }
    if (std::holds_alternative<std::monostate>(*record)) {
        out << " (not played)";
        return;
    }
    FieldPrinter printer(out);
    std::visit([&](const auto& r) {
        if constexpr (!std::is_same_v<std::decay_t<decltype(r)>, std::monostate>)
            r.fields(printer);
    }, *record);
}

void printName(const char* name, quint64 type, std::ostream& out)
{
    if (name)
        out << name;
    else
        out << "unknown " << hex(type);
}

// The GDI+ records of one comment, each with the fields the GDI+ player reads from it.
void dumpPlus(Bytes records, std::ostream& out)
{
    for (qint64 at = 0;;) {
        const emfplus::NextRecord next = emfplus::readRecord(records, at);
        if (!next.record) {
            if (!next.problem.isEmpty())
                out << "    +" << at << " GDI+ records stop: " << next.problem.toStdString() << '\n';
            return;
        }
        const emfplus::Record& r = *next.record;
        out << "    +" << at << ' ' << emfplus::recordName(r.type).toStdString() << " flags=" << hex(r.flags)
            << " size=" << r.size;
        const QString fields = emfplus::describe(r);
        if (!fields.isEmpty())
            out << ' ' << fields.toStdString();
        out << '\n';
        at += r.size;
    }
}

bool dumpEmf(Bytes file, std::ostream& out)
{
    const qint64 headerSize = file.u32(4);
    const qint64 declared = file.u32(48);
    qint64 end = file.size();
    if (declared > end) {
        out << "stops at the header: it declares " << declared << " bytes, the file has " << end << '\n';
        return false;
    }
    if (declared >= headerSize)
        end = declared;
    qint64 at = 0;
    for (qint64 index = 0; at < end; ++index) {
        const quint32 type = file.u32(at);
        const qint64 size = file.u32(at + 4);
        out << '#' << index << " @" << at << ' ';
        if (end - at < 8 || size < 8 || size % 4 != 0 || size > end - at) {
            out << "stops: record size " << size << " with " << end - at << " bytes left"
                << (size % 4 != 0 ? " (not a whole number of 32-bit words)" : "") << '\n';
            return false;
        }
        const auto emrType = gdi::EmrType(type);
        printName(emf::recordName(emrType), type, out);
        out << " size=" << size;
        if (emrType == gdi::EmrType::EMR_EOF) {
            out << " (the last record)\n";
            return true;
        }
        const std::optional<emf::Record> read = emf::readRecord(emrType, file.sub(at, size));
        printFields(read, out);
        out << '\n';
        if (read && std::holds_alternative<emf::Comment>(*read)) {
            if (const std::optional<Bytes>& plus = std::get<emf::Comment>(*read).emfPlus)
                dumpPlus(*plus, out);
        }
        at += size;
    }
    out << "ends at " << at << " without EMR_EOF\n";
    return true;
}

bool dumpWmf(Bytes file, std::ostream& out)
{
    qint64 at = 0;
    if (const std::optional<wmf::PlaceableHeader> box = wmf::readPlaceableHeader(file)) {
        out << "placeable header box=(" << box->left << ',' << box->top << ")-(" << box->right << ',' << box->bottom
            << ") unitsPerInch=" << box->unitsPerInch << '\n';
        at = wmf::kPlaceableHeaderSize;
    }
    const std::optional<wmf::Header> header = wmf::readHeader(file.from(at));
    out << "header type=" << header->type << " version=" << hex(header->version) << " words=" << header->words
        << " objects=" << header->objects << " largestRecord=" << header->largestRecord << '\n';
    at += wmf::kHeaderSize;
    if (const std::optional<QByteArray> emf = wmf::readEmbeddedEmf(file.from(at), file.size()))
        out << "carries an embedded EMF of " << emf->size() << " bytes in WMFC comments\n";
    for (qint64 index = 0; at < file.size(); ++index) {
        const qint64 words = file.u32(at);
        const quint16 function = file.u16(at + 4);
        out << '#' << index << " @" << at << ' ';
        if (!file.has(at, 6) || words < 3 || !file.has(at, 2 * words)) {
            out << "stops: record of " << words << " words with " << file.size() - at << " bytes left\n";
            return false;
        }
        printName(wmf::recordName(gdi::MetaType(function)), function, out);
        out << " size=" << 2 * words;
        if (gdi::MetaType(function) == gdi::MetaType::META_EOF) {
            out << " (the last record)\n";
            return true;
        }
        printFields(wmf::readRecord(file.sub(at, 2 * words)), out);
        out << '\n';
        at += 2 * words;
    }
    out << "ends at " << at << " without META_EOF\n";
    return true;
}

bool isEmf(Bytes file)
{
    const std::optional<emf::Header> header = emf::readHeader(file);
    return header && file.u32(0) == quint32(gdi::EmrType::EMR_HEADER) && header->signature == kEmfSignature;
}

// The player takes only the versions it knows; the dump shows what any header of the kind holds.
bool isWmf(Bytes file)
{
    const std::optional<wmf::Header> header =
        wmf::readHeader(file.from(wmf::readPlaceableHeader(file) ? wmf::kPlaceableHeaderSize : 0));
    return header && (header->type == 1 || header->type == 2) && header->headerWords == 9;
}

} // namespace

bool dumpMetafile(QByteArrayView data, std::ostream& out)
{
    const Bytes file(data);
    if (isEmf(file))
        return dumpEmf(file, out);
    if (isWmf(file))
        return dumpWmf(file, out);
    out << "not a WMF or EMF file\n";
    return false;
}

} // namespace metafile

#include "settings/IniRecord.h"

#include <QFile>

#include <cmath>
#include <limits>

namespace IniRecord {

namespace {

QByteArray quoted(const QString& text)
{
    QByteArray bytes = QFile::encodeName(text);
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

QByteArray number(float value)
{
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e7f)
        return QByteArray::number(qint64(value));
    // Up to seven significant digits, as much as a single-precision number holds.
    return QByteArray::number(double(value), 'g', 7);
}

QByteArray boolean(bool value)
{
    return value ? "#TRUE#" : "#FALSE#";
}

// Walks the file item by item: a comma or a line end closes an item, a quoted text runs to its
// closing quote with "" standing for one quote, spaces around an unquoted item are skipped.
class Items {
public:
    explicit Items(const QByteArray& file) : m_data(file) { }

    std::optional<QByteArray> next()
    {
        skipSpaces();
        if (m_pos >= m_data.size())
            return std::nullopt;
        QByteArray item;
        if (m_data[m_pos] == '"') {
            ++m_pos;
            while (m_pos < m_data.size()) {
                const char c = m_data[m_pos++];
                if (c != '"') {
                    item += c;
                } else if (m_pos < m_data.size() && m_data[m_pos] == '"') {
                    item += '"';
                    ++m_pos;
                } else {
                    break;
                }
            }
            m_quoted = true;
        } else {
            while (m_pos < m_data.size() && m_data[m_pos] != ',' && m_data[m_pos] != '\r' && m_data[m_pos] != '\n')
                item += m_data[m_pos++];
            item = item.trimmed();
            m_quoted = false;
        }
        closeItem();
        return item;
    }
    bool lastWasQuoted() const { return m_quoted; }

private:
    void skipSpaces()
    {
        while (m_pos < m_data.size() && (m_data[m_pos] == ' ' || m_data[m_pos] == '\t'))
            ++m_pos;
    }
    // After an item: spaces, then one comma, or one line end (CR LF, CR or LF).
    void closeItem()
    {
        skipSpaces();
        if (m_pos >= m_data.size())
            return;
        if (m_data[m_pos] == ',') {
            ++m_pos;
        } else if (m_data[m_pos] == '\r') {
            ++m_pos;
            if (m_pos < m_data.size() && m_data[m_pos] == '\n')
                ++m_pos;
        } else if (m_data[m_pos] == '\n') {
            ++m_pos;
        } else {
            // Text after a closing quote: it belongs to nothing; skip to the item's end.
            while (m_pos < m_data.size() && m_data[m_pos] != ',' && m_data[m_pos] != '\r' && m_data[m_pos] != '\n')
                ++m_pos;
            closeItem();
        }
    }

    const QByteArray& m_data;
    qsizetype m_pos { 0 };
    bool m_quoted { false };
};

// A number item: its leading decimal number ("-12.5e3" style, "." as the point whatever the
// user's locale), or 0 when it does not start with one.
double numberOf(const QByteArray& item)
{
    qsizetype end = 0;
    const qsizetype n = item.size();
    auto digits = [&] {
        const qsizetype start = end;
        while (end < n && item[end] >= '0' && item[end] <= '9')
            ++end;
        return end > start;
    };
    if (end < n && (item[end] == '-' || item[end] == '+'))
        ++end;
    bool any = digits();
    if (end < n && item[end] == '.') {
        ++end;
        any = digits() || any;
    }
    if (!any)
        return 0;
    const qsizetype mantissaEnd = end;
    if (end < n && (item[end] == 'e' || item[end] == 'E')) {
        ++end;
        if (end < n && (item[end] == '-' || item[end] == '+'))
            ++end;
        if (!digits())
            end = mantissaEnd;
    }
    bool ok = false;
    const double value = item.left(end).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

std::optional<bool> booleanOf(const QByteArray& item)
{
    const QByteArray upper = item.toUpper();
    if (upper == "#TRUE#")
        return true;
    if (upper == "#FALSE#")
        return false;
    bool isNumber = false;
    const double value = item.toDouble(&isNumber);
    if (isNumber)
        return value != 0;
    return std::nullopt;
}

std::optional<qint16> toInt16(double value)
{
    const std::optional<qint32> wide = toInt32(value);
    if (!wide || *wide < std::numeric_limits<qint16>::min() || *wide > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(*wide);
}

} // namespace

std::optional<qint32> toInt32(double value)
{
    const double rounded = std::nearbyint(value); // the default rounding: halves to even
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<qint32>::min() || rounded > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(rounded);
}

QByteArray write(const Values& v)
{
    const QByteArray items[kItemCount] = {
        number(v.form1Left),
        number(v.form1Top),
        number(v.panelLeft),
        number(v.panelTop),
        quoted(v.signFolder),
        quoted(v.reservedText),
        QByteArray::number(v.reservedNumber1),
        QByteArray::number(v.reservedNumber2),
        quoted(v.signboardPath),
        number(v.signboardLeft),
        number(v.signboardTop),
        boolean(v.signboardShown),
        boolean(v.frameShown),
        QByteArray::number(v.frontSpeed),
        QByteArray::number(v.middleSpeed),
        QByteArray::number(v.mode),
    };
    QByteArray line;
    for (int i = 0; i < kItemCount; ++i) {
        if (i > 0)
            line += ',';
        line += items[i];
    }
    return line + "\r\n";
}

Result<void> read(const QByteArray& file, Values& into, int* itemsRead)
{
    Items items(file);
    int taken = 0;
    auto take = [&](auto&& apply) {
        const std::optional<QByteArray> item = items.next();
        if (!item)
            return false;
        if (!apply(*item))
            return false;
        ++taken;
        return true;
    };
    auto text = [&](QString& field) {
        return [&field](const QByteArray& item) {
            field = QFile::decodeName(item);
            return true;
        };
    };
    // Positions are written with their fractions but read back as whole twips.
    auto position = [](float& field) {
        return [&field](const QByteArray& item) {
            const std::optional<qint32> value = toInt32(numberOf(item));
            if (value)
                field = float(*value);
            return value.has_value();
        };
    };
    auto int32 = [](qint32& field) {
        return [&field](const QByteArray& item) {
            const std::optional<qint32> value = toInt32(numberOf(item));
            if (value)
                field = *value;
            return value.has_value();
        };
    };
    auto flag = [](bool& field) {
        return [&field](const QByteArray& item) {
            const std::optional<bool> value = booleanOf(item);
            if (value)
                field = *value;
            return value.has_value();
        };
    };
    auto int16 = [](qint16& field) {
        return [&field](const QByteArray& item) {
            const std::optional<qint16> value = toInt16(numberOf(item));
            if (value)
                field = *value;
            return value.has_value();
        };
    };

    take(position(into.form1Left)) && take(position(into.form1Top)) && take(position(into.panelLeft))
        && take(position(into.panelTop)) && take(text(into.signFolder)) && take(text(into.reservedText))
        && take(int32(into.reservedNumber1)) && take(int32(into.reservedNumber2)) && take(text(into.signboardPath))
        && take(position(into.signboardLeft)) && take(position(into.signboardTop)) && take(flag(into.signboardShown))
        && take(flag(into.frameShown)) && take(int32(into.frontSpeed)) && take(int32(into.middleSpeed))
        && take(int16(into.mode));
    if (itemsRead)
        *itemsRead = taken;
    if (taken != kItemCount)
        return Failure { Failure::Kind::Malformed, {} };
    return {};
}

} // namespace IniRecord

#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <cstring>

namespace metafile {

// Little-endian fields of a record, read only after the caller has checked with has() that they
// lie inside it; a read outside yields 0 rather than touching memory past the end.
class Bytes {
public:
    Bytes() = default;
    explicit Bytes(QByteArrayView data)
        : m_data(data)
    {
    }

    qint64 size() const { return m_data.size(); }
    QByteArrayView view() const { return m_data; }

    // Offsets and lengths come straight from the file, so they are taken as 64-bit and may be
    // anything, negative included.
    bool has(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= size() && length <= size() - offset;
    }
    Bytes sub(qint64 offset, qint64 length) const
    {
        if (!has(offset, length))
            return {};
        return Bytes(m_data.sliced(offset, length));
    }
    Bytes from(qint64 offset) const
    {
        if (!has(offset, 0))
            return {};
        return Bytes(m_data.sliced(offset));
    }

    quint8 u8(qint64 at) const { return has(at, 1) ? quint8(m_data[at]) : 0; }
    quint16 u16(qint64 at) const
    {
        if (!has(at, 2))
            return 0;
        return quint16(quint8(m_data[at]) | quint8(m_data[at + 1]) << 8);
    }
    qint16 i16(qint64 at) const { return qint16(u16(at)); }
    quint32 u32(qint64 at) const
    {
        if (!has(at, 4))
            return 0;
        return quint32(u16(at)) | quint32(u16(at + 2)) << 16;
    }
    qint32 i32(qint64 at) const { return qint32(u32(at)); }
    float f32(qint64 at) const
    {
        const quint32 bits = u32(at);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    QByteArrayView m_data;
};

} // namespace metafile

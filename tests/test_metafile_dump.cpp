// metafile_dump: a line per record in file order, under the documentation's names, and on a file
// that breaks off, where and why. The files are put together here byte by byte, so that the test
// does not lean on the readers it checks.
#include "tools/MetafileDump.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringList>

#include <sstream>

namespace {

class Bytes {
public:
    Bytes& u16(quint16 v) { return put(v, 2); }
    Bytes& u32(quint32 v) { return put(v, 4); }
    Bytes& zeros(int count) { m_data.append(count, '\0'); return *this; }
    QByteArray data() const { return m_data; }
    int size() const { return int(m_data.size()); }
    void setU32(int at, quint32 v)
    {
        for (int k = 0; k < 4; ++k)
            m_data[at + k] = char(v >> (8 * k) & 0xFF);
    }

private:
    Bytes& put(quint32 v, int bytes)
    {
        for (int k = 0; k < bytes; ++k)
            m_data.append(char(v >> (8 * k) & 0xFF));
        return *this;
    }
    QByteArray m_data;
};

// An 88-byte EMF header framing 10 mm square, then the records, then EMR_EOF; the header's byte
// and record counts are filled in at the end.
QByteArray emf(const std::function<void(Bytes&)>& records, int recordCount)
{
    Bytes b;
    b.u32(1).u32(88).u32(0).u32(0).u32(99).u32(99).u32(0).u32(0).u32(1000).u32(1000);
    b.u32(0x464D4520).u32(0x10000).u32(0).u32(0).u16(4).u16(0).u32(0).u32(0).u32(0);
    b.u32(1024).u32(768).u32(320).u32(240);
    records(b);
    b.u32(14).u32(20).u32(0).u32(16).u32(20);
    b.setU32(48, quint32(b.size()));
    b.setU32(52, quint32(recordCount + 2));
    return b.data();
}

std::string dump(const QByteArray& file, bool* ok = nullptr)
{
    std::ostringstream out;
    const bool result = metafile::dumpMetafile(file, out);
    if (ok)
        *ok = result;
    return out.str();
}

// The name in every line that describes a record: "#index @offset NAME ..." or, for a GDI+
// record, "+offset NAME ..."; not the line that says where the file stops.
QStringList names(const std::string& text)
{
    QStringList out;
    for (const QString& line : QString::fromStdString(text).split('\n', Qt::SkipEmptyParts)) {
        const QStringList words = line.simplified().split(' ');
        if (words.size() >= 3 && words[0].startsWith('#') && !words[2].endsWith(':'))
            out.append(words[2]);
        else if (words.size() >= 2 && words[0].startsWith('+'))
            out.append(words[1]);
    }
    return out;
}

TEST(MetafileDump, names_every_emf_record_in_order_with_the_gdi_plus_records_inside_comments)
{
    const QByteArray file = emf([](Bytes& b) {
        b.u32(17).u32(12).u32(8);                                  // EMR_SETMAPMODE MM_ANISOTROPIC
        b.u32(43).u32(24).u32(1).u32(2).u32(30).u32(40);           // EMR_RECTANGLE
        b.u32(70).u32(40).u32(28).u32(0x2B464D45);                 // EMR_COMMENT, EMF+
        b.u16(0x400C).u16(0).u32(12).u32(0);                       //   EmfPlusFillPolygon, no data
        b.u16(0x4009).u16(0).u32(12).u32(0);                       //   EmfPlusClear
        b.u32(21).u32(12).u32(3);                                  // EMR_SETSTRETCHBLTMODE, not played
        b.u32(43).u32(20).u32(0).u32(0).u32(0);                    // EMR_RECTANGLE, one field short
    }, 5);
    bool ok = false;
    const std::string text = dump(file, &ok);
    EXPECT_TRUE(ok) << text;
    EXPECT_EQ(names(text), QStringList({ "EMR_HEADER", "EMR_SETMAPMODE", "EMR_RECTANGLE", "EMR_COMMENT",
                                         "EmfPlusFillPolygon", "EmfPlusClear", "EMR_SETSTRETCHBLTMODE",
                                         "EMR_RECTANGLE", "EMR_EOF" }))
        << text;
    EXPECT_NE(text.find("EMR_RECTANGLE size=24 box=(1,2)+29x38"), std::string::npos) << text;
    EXPECT_NE(text.find("EMR_RECTANGLE size=20 (passed over"), std::string::npos) << text;
}

TEST(MetafileDump, says_where_and_why_a_broken_emf_stops)
{
    QByteArray file = emf([](Bytes& b) {
        b.u32(17).u32(12).u32(8);
        b.u32(43).u32(26).u32(1).u32(2).u32(30).u32(40); // a size that is no whole number of words
    }, 2);
    bool ok = true;
    const std::string text = dump(file, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(text.find("#2 @100 stops: record size 26"), std::string::npos) << text;
    EXPECT_EQ(names(text), QStringList({ "EMR_HEADER", "EMR_SETMAPMODE" })) << text;
}

TEST(MetafileDump, names_wmf_records_and_where_a_cut_short_one_stops)
{
    Bytes b;
    b.u16(1).u16(9).u16(0x300).u32(0).u16(0).u32(0).u16(0); // the standard header
    b.u32(5).u16(0x020C).u16(100).u16(200);                  // META_SETWINDOWEXT
    b.u32(8).u16(0x0626).u16(15).u16(4).u32(0).u16(0);       // META_ESCAPE, not played
    b.u32(7).u16(0x041B).u16(40).u16(30).u16(2).u16(1);      // META_RECTANGLE
    b.u32(3).u16(0x0000);                                    // META_EOF
    bool ok = false;
    std::string text = dump(b.data(), &ok);
    EXPECT_TRUE(ok) << text;
    EXPECT_EQ(names(text), QStringList({ "META_SETWINDOWEXT", "META_ESCAPE", "META_RECTANGLE", "META_EOF" })) << text;
    EXPECT_NE(text.find("META_RECTANGLE size=14 box=(1,2)+29x38"), std::string::npos) << text;

    const QByteArray cut = b.data().first(b.size() - 10);
    text = dump(cut, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(text.find("#2 @44 stops: record of 7 words with 10 bytes left"), std::string::npos) << text;
}

TEST(MetafileDump, says_once_that_a_wmf_carries_an_embedded_emf)
{
    // Eight bytes carried in two WMFC chunks of four; the checksum is the complement of their
    // words' XOR.
    const auto chunk = [](Bytes& b, quint16 checksum, quint16 word0, quint16 word1, quint32 remaining) {
        b.u32(24).u16(0x0626).u16(15).u16(34 + 4);
        b.u32(0x43464D57).u32(1).u32(0x10000).u16(checksum).u32(0).u32(2).u32(4).u32(remaining).u32(8);
        b.u16(word0).u16(word1);
    };
    Bytes b;
    b.u16(1).u16(9).u16(0x300).u32(0).u16(0).u32(0).u16(0);
    chunk(b, quint16(~(0x0201 ^ 0x0403 ^ 0x0605 ^ 0x0807)), 0x0201, 0x0403, 4);
    chunk(b, 0, 0x0605, 0x0807, 0);
    b.u32(3).u16(0x0000);
    std::string text = dump(b.data());
    EXPECT_NE(text.find("\ncarries an embedded EMF of 8 bytes in WMFC comments\n#0 "), std::string::npos) << text;

    Bytes miscounted = b;
    miscounted.setU32(18 + 10 + 18, 3);
    text = dump(miscounted.data());
    EXPECT_EQ(text.find("embedded EMF"), std::string::npos) << text;
}

TEST(MetafileDump, refuses_what_is_no_metafile)
{
    bool ok = true;
    EXPECT_EQ(dump("GIF89a", &ok), "not a WMF or EMF file\n");
    EXPECT_FALSE(ok);
}

} // namespace

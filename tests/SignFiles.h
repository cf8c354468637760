#pragma once

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QSize>
#include <QString>

#include <gtest/gtest.h>

// Sign pictures written for the sign's tests, each told apart by the colour of its top-left pixel.
namespace signfiles {

// Qt reads GIF but does not write it: a one-colour GIF, its LZW stream written by hand with a
// clear code before every pixel so the code size never grows past three bits.
inline QByteArray oneColourGif(QColor colour, QSize size)
{
    QByteArray g("GIF89a");
    auto le16 = [&](int v) { g.append(char(v & 0xFF)).append(char(v >> 8)); };
    le16(size.width());
    le16(size.height());
    g.append(char(0x80)).append(char(0)).append(char(0)); // global table of two colours
    g.append(char(colour.red())).append(char(colour.green())).append(char(colour.blue()));
    g.append(char(0)).append(char(0)).append(char(0));
    g.append(',');
    le16(0);
    le16(0);
    le16(size.width());
    le16(size.height());
    g.append(char(0)).append(char(2)); // no local table; minimum code size 2
    QByteArray data;
    quint32 bits = 0;
    int count = 0;
    auto put = [&](int code) {
        bits |= quint32(code) << count;
        count += 3;
        while (count >= 8) {
            data.append(char(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    for (int i = 0; i < size.width() * size.height(); ++i) {
        put(4);
        put(0);
    }
    put(5);
    if (count > 0)
        data.append(char(bits & 0xFF));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        g.append(char(block.size())).append(block);
    }
    g.append(char(0)).append(';');
    return g;
}

// A picture whose top-left pixel says which one it is.
inline void writePicture(const QString& path, QColor colour, QSize size = { 40, 20 }, const char* format = nullptr)
{
    if (path.endsWith(".gif", Qt::CaseInsensitive)) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(oneColourGif(colour, size));
        return;
    }
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(path, format)) << path.toStdString();
}

inline void writeText(const QString& path, const QByteArray& bytes = "not a picture")
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace signfiles

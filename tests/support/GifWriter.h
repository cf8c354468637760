#pragma once

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSize>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

// Writes GIF files, still or animated, for the sample generator, the tests, the fuzz seeds and the
// benchmarks; Qt reads GIF but cannot write it. Not part of the program. Header only.
//
// One global palette of at most 256 colours; each frame's pixels take the palette colour nearest
// to theirs. Frames are added one by one, so a test can place one anywhere (even past the edge
// of the screen), give it any delay, or cut the file short.
class GifWriter {
public:
    GifWriter(QSize screen, QList<QRgb> palette)
        : m_palette(std::move(palette))
    {
        m_palette.resize(std::clamp<qsizetype>(m_palette.size(), 2, 256));
        int bits = 1;
        while ((1 << bits) < m_palette.size())
            ++bits;
        m_tableBits = bits;
        m_bytes.append("GIF89a");
        put16(screen.width());
        put16(screen.height());
        m_bytes.append(char(0x80 | (bits - 1))).append(char(0)).append(char(0));
        for (int i = 0; i < (1 << bits); ++i) {
            const QRgb c = i < m_palette.size() ? m_palette[i] : 0;
            m_bytes.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
        }
    }

    // Every colour of the images, in order of first use; empty when there are more than 256.
    static QList<QRgb> paletteOf(const QList<QImage>& images)
    {
        QList<QRgb> palette;
        QHash<QRgb, int> seen;
        for (const QImage& image : images) {
            const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y < rgb.height(); ++y) {
                const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
                for (int x = 0; x < rgb.width(); ++x) {
                    const QRgb c = line[x] | 0xff000000u;
                    if (!seen.contains(c)) {
                        if (palette.size() == 256)
                            return {};
                        seen.insert(c, int(palette.size()));
                        palette.append(c);
                    }
                }
            }
        }
        return palette;
    }

    // The loop block: the frames play loops + 1 times; 0 plays them for ever. Before any frame.
    void setLoopCount(int loops)
    {
        m_bytes.append(char(0x21)).append(char(0xFF)).append(char(11)).append("NETSCAPE2.0");
        m_bytes.append(char(3)).append(char(1));
        put16(loops);
        m_bytes.append(char(0));
    }

    // A frame at the given place of the screen, shown for delayCs hundredths of a second.
    void addFrame(const QImage& image, int delayCs, QPoint at = {})
    {
        m_bytes.append(char(0x21)).append(char(0xF9)).append(char(4)).append(char(0));
        put16(delayCs);
        m_bytes.append(char(0)).append(char(0));
        m_bytes.append(',');
        put16(at.x());
        put16(at.y());
        put16(image.width());
        put16(image.height());
        m_bytes.append(char(0));
        const int minCodeSize = std::max(2, m_tableBits);
        m_bytes.append(char(minCodeSize));
        const QByteArray data = compress(indices(image), minCodeSize);
        for (qsizetype at = 0; at < data.size(); at += 255) {
            const QByteArray block = data.mid(at, 255);
            m_bytes.append(char(block.size())).append(block);
        }
        m_bytes.append(char(0));
    }

    // The file so far, without its trailer: a file cut short.
    const QByteArray& bytesSoFar() const { return m_bytes; }
    QByteArray finish() const { return m_bytes + ';'; }

    // An animation of whole frames, all with one delay; loops as setLoopCount, or no loop block
    // at all when loops is negative.
    static QByteArray animation(const QList<QImage>& frames, int delayCs, int loops)
    {
        GifWriter gif(frames.isEmpty() ? QSize() : frames.first().size(), paletteOf(frames));
        if (loops >= 0)
            gif.setLoopCount(loops);
        for (const QImage& frame : frames)
            gif.addFrame(frame, delayCs);
        return gif.finish();
    }

private:
    void put16(int v) { m_bytes.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); }

    std::vector<std::uint8_t> indices(const QImage& image) const
    {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        std::vector<std::uint8_t> out;
        out.reserve(std::size_t(rgb.width()) * std::size_t(rgb.height()));
        QHash<QRgb, std::uint8_t> nearest;
        for (int y = 0; y < rgb.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < rgb.width(); ++x) {
                const QRgb c = line[x] | 0xff000000u;
                auto found = nearest.constFind(c);
                if (found == nearest.constEnd())
                    found = nearest.insert(c, closest(c));
                out.push_back(*found);
            }
        }
        return out;
    }

    std::uint8_t closest(QRgb c) const
    {
        int best = 0;
        int bestDistance = INT_MAX;
        for (int i = 0; i < m_palette.size(); ++i) {
            const QRgb p = m_palette[i];
            const int dr = qRed(p) - qRed(c), dg = qGreen(p) - qGreen(c), db = qBlue(p) - qBlue(c);
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
        return std::uint8_t(best);
    }

    // GIF's variable-length LZW. The reader adds a table entry for every code but the first after
    // a clear, and widens its codes when the table outgrows them: the writer keeps the same count.
    static QByteArray compress(const std::vector<std::uint8_t>& pixels, int minCodeSize)
    {
        const int clear = 1 << minCodeSize;
        const int end = clear + 1;
        QByteArray out;
        std::uint32_t bits = 0;
        int bitCount = 0;
        int codeSize = minCodeSize + 1;
        auto writeCode = [&](int code) {
            bits |= std::uint32_t(code) << bitCount;
            bitCount += codeSize;
            while (bitCount >= 8) {
                out.append(char(bits & 0xFF));
                bits >>= 8;
                bitCount -= 8;
            }
        };
        QHash<std::uint32_t, int> table;
        int next = clear + 2;
        auto reset = [&] {
            table.clear();
            next = clear + 2;
            codeSize = minCodeSize + 1;
        };
        writeCode(clear);
        int prefix = -1;
        bool firstAfterClear = true;
        for (const std::uint8_t k : pixels) {
            if (prefix < 0) {
                prefix = k;
                continue;
            }
            const std::uint32_t key = (std::uint32_t(prefix) << 8) | k;
            if (auto found = table.constFind(key); found != table.constEnd()) {
                prefix = *found;
                continue;
            }
            writeCode(prefix);
            if (next < 4096) {
                // The reader adds its entry for this code when it reads the next one: a step
                // behind, it widens its codes at the same code as we do.
                table.insert(key, next++);
                if (next > (1 << codeSize) && codeSize < 12)
                    ++codeSize;
                firstAfterClear = false;
            } else {
                writeCode(clear);
                reset();
                firstAfterClear = true;
            }
            prefix = k;
        }
        if (prefix >= 0) {
            writeCode(prefix);
            // Reading that last code, the reader adds an entry of its own and may widen the
            // code the end code is read with.
            if (!firstAfterClear && next < 4096 && next + 1 > (1 << codeSize) && codeSize < 12)
                ++codeSize;
        }
        writeCode(end);
        if (bitCount > 0)
            out.append(char(bits & 0xFF));
        return out;
    }

    QList<QRgb> m_palette;
    int m_tableBits { 1 };
    QByteArray m_bytes;
};

#include "picture/Stretcher.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr int kWeightBits = 14;
constexpr std::uint32_t kOne = 1u << kWeightBits;

// Which source pixels make each new pixel, and how much of each.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::uint32_t> weight; // per new pixel, count entries summing to kOne
};

Taps tapsFor(int from, int to)
{
    Taps taps;
    taps.first.resize(to);
    taps.count.resize(to);
    if (to < from) {
        // Each new pixel covers from/to old ones: weight each by how much of it is covered.
        taps.weight.reserve(std::size_t(from) + std::size_t(to));
        for (int x = 0; x < to; ++x) {
            // In units of 1/to of an old pixel, the span is [x*from, (x+1)*from).
            const std::int64_t begin = std::int64_t(x) * from;
            const std::int64_t end = begin + from;
            const int first = int(begin / to);
            const int last = int((end - 1) / to);
            taps.first[x] = first;
            taps.count[x] = last - first + 1;
            std::uint32_t given = 0;
            std::size_t largest = taps.weight.size();
            for (int i = first; i <= last; ++i) {
                const std::int64_t covered = std::min<std::int64_t>(end, std::int64_t(i + 1) * to)
                    - std::max<std::int64_t>(begin, std::int64_t(i) * to);
                const auto w = std::uint32_t(covered * kOne / from);
                if (largest == taps.weight.size() || w > taps.weight[largest])
                    largest = taps.weight.size();
                taps.weight.push_back(w);
                given += w;
            }
            // Rounding left over goes to the pixel that counts most, so flat colour stays flat.
            taps.weight[largest] += kOne - given;
        }
    } else {
        // Pixel centres line up: the new centre x + 0.5 sits at (x + 0.5) * from / to - 0.5 old.
        taps.weight.reserve(std::size_t(to) * 2);
        for (int x = 0; x < to; ++x) {
            const std::int64_t scaled = (std::int64_t(2 * x + 1) * from - to) * kOne / (2 * std::int64_t(to));
            const std::int64_t clamped = std::clamp<std::int64_t>(scaled, 0, std::int64_t(from - 1) * kOne);
            const int first = int(clamped >> kWeightBits);
            const auto fraction = std::uint32_t(clamped & (kOne - 1));
            taps.first[x] = first;
            if (fraction == 0 || first + 1 >= from) {
                taps.count[x] = 1;
                taps.weight.push_back(kOne);
            } else {
                taps.count[x] = 2;
                taps.weight.push_back(kOne - fraction);
                taps.weight.push_back(fraction);
            }
        }
    }
    return taps;
}

} // namespace

QImage stretchRows(const QImage& source, int width)
{
    if (source.isNull() || width <= 0)
        return {};
    if (width == source.width())
        return source.copy();
    const Taps taps = tapsFor(source.width(), width);
    QImage result(width, source.height(), source.format());
    if (result.isNull())
        return {};
    result.setDevicePixelRatio(source.devicePixelRatio());
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(source.constScanLine(y));
        auto* out = reinterpret_cast<std::uint32_t*>(result.scanLine(y));
        const std::uint32_t* w = taps.weight.data();
        for (int x = 0; x < width; ++x) {
            const std::uint32_t* p = in + taps.first[x];
            // Two channels a word, 32 bits apart: a weighted sum stays under 2^22, so they never meet.
            std::uint64_t blueRed = 0;
            std::uint64_t greenAlpha = 0;
            for (int k = taps.count[x]; k > 0; --k, ++p, ++w) {
                const std::uint32_t pixel = *p;
                blueRed += ((pixel & 0xffu) | (std::uint64_t((pixel >> 16) & 0xffu) << 32)) * *w;
                greenAlpha += (((pixel >> 8) & 0xffu) | (std::uint64_t(pixel >> 24) << 32)) * *w;
            }
            constexpr std::uint64_t kHalf = (std::uint64_t(kOne / 2) << 32) | (kOne / 2);
            blueRed = (blueRed + kHalf) >> kWeightBits;
            greenAlpha = (greenAlpha + kHalf) >> kWeightBits;
            out[x] = std::uint32_t(blueRed & 0xffu) | (std::uint32_t((greenAlpha) & 0xffu) << 8)
                | (std::uint32_t((blueRed >> 32) & 0xffu) << 16) | (std::uint32_t((greenAlpha >> 32) & 0xffu) << 24);
        }
    }
    return result;
}

void Stretcher::reset()
{
    m_sourceKey = 0;
    m_fitted = QImage();
    m_result = QImage();
}

const QImage& Stretcher::stretch(const QImage& source, QSize size, qreal devicePixelRatio)
{
    if (source.isNull() || size.isEmpty()) {
        m_result = QImage();
        return m_result;
    }
    if (m_sourceKey != source.cacheKey()) {
        // A picture that is never asked for a second size is scaled once, as it is, and keeps no
        // fitted copy: most pictures stay as they are first shown.
        reset();
        m_sourceKey = source.cacheKey();
        m_result = source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_result.setDevicePixelRatio(devicePixelRatio);
        return m_result;
    }
    if (m_result.size() == size && m_result.devicePixelRatio() == devicePixelRatio)
        return m_result;
    if (m_fitted.isNull() || m_fitted.height() != size.height()) {
        // The rows are read four bytes a pixel, with any transparency premultiplied so averaging
        // never brings out the colour of a clear pixel.
        QImage four = source;
        if (four.format() != QImage::Format_RGB32 && four.format() != QImage::Format_ARGB32_Premultiplied)
            four = four.convertToFormat(four.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        m_fitted = four.height() == size.height()
            ? four
            : four.scaled(four.width(), size.height(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    m_result = stretchRows(m_fitted, size.width());
    m_result.setDevicePixelRatio(devicePixelRatio);
    return m_result;
}

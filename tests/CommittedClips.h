#pragma once

// The program's two buzzer clips as committed under assets/, read straight from the files, for
// the tests of the clips themselves and of the code that plays them. The test target defines
// KURURIN_ASSETS_DIR as that folder.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstddef>
#include <span>

// Samples in clip 101 (0.8 s) and clip 102 (2.5 s), both 8-bit mono at 22,050 Hz.
inline constexpr std::size_t kOpeningSamples = 17640;
inline constexpr std::size_t kClosingSamples = 55125;

// The file's bytes, or none when it cannot be read.
inline QByteArray committedClip(int clip)
{
    QFile file(QStringLiteral(KURURIN_ASSETS_DIR "/clip%1.wav").arg(clip));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Bytes as the platform's sound takes them.
inline std::span<const std::byte> bytesOf(const QByteArray& data)
{
    return std::as_bytes(std::span(data.constData(), static_cast<std::size_t>(data.size())));
}

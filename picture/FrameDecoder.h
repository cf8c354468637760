#pragma once

#include "picture/Picture.h"

#include <QBuffer>

#include <chrono>
#include <memory>
#include <optional>

class QImageReader;

struct Frame {
    Picture picture;
    std::chrono::milliseconds delay;
};

// The frames of an animation, one pass through them at a time.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // The next frame of this pass, or nothing at its end or where decoding stops.
    virtual std::optional<Frame> next() = 0;
    // Back to before the first frame.
    virtual void restart() = 0;
};

// How long a frame stays, from the delay its file gives: under 20 ms counts as 100 ms, as web
// browsers have it, so a file that says 0 does not spin.
std::chrono::milliseconds frameDelay(int delayMs);

// Decodes an animated picture's frames from its file's bytes through QImageReader, each frame
// composed onto the ones before it by the reader. Only the frame being composed and the last one
// handed out are held; each is checked against the loader's limits.
class FrameDecoder final : public FrameSource {
public:
    // fullSize: the picture's size, which every frame must have.
    FrameDecoder(std::shared_ptr<const Animation> animation, QSize fullSize);
    ~FrameDecoder() override;

    std::optional<Frame> next() override;
    void restart() override;

private:
    std::shared_ptr<const Animation> m_animation;
    QSize m_fullSize;
    QBuffer m_buffer;
    std::unique_ptr<QImageReader> m_reader;
};

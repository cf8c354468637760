#pragma once

#include "picture/FramePlayer.h"
#include "picture/Picture.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class QWidget;

// Plays an animated picture's later frames on the widget that shows it, one timer shot a frame.
// It plays only while that widget can be seen: a hidden widget, or a hidden or minimized window,
// pauses it, and nothing runs at all while no picture moves.
class PictureAnimator final : public QObject {
    Q_OBJECT
public:
    using ShowFrame = std::function<void(const Picture&)>;

    PictureAnimator(QWidget& shownOn, ShowFrame show);
    ~PictureAnimator() override;

    // The picture has just been shown: an animated one plays on from its first frame; anything
    // else stops what was playing.
    void play(const Picture& picture);
    void stop();

    // An animation is loaded and has not come to its end.
    bool isPlaying() const { return m_player && !m_player->ended(); }
    bool isPaused() const { return m_paused; }
    // A frame is waiting on the timer.
    bool isTicking() const { return m_timer.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool unseen() const;
    void followVisibility();
    void schedule(std::chrono::nanoseconds atLeast = {});
    void tick();

    QWidget& m_shownOn;
    ShowFrame m_show;
    QTimer m_timer;
    std::unique_ptr<FramePlayer> m_player;
    bool m_paused { false };
};

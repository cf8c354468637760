#include "elements/PictureAnimator.h"

#include "picture/FrameDecoder.h"

#include <QEvent>
#include <QWidget>

#include <chrono>

namespace {

FramePlayer::TimePoint now()
{
    return std::chrono::steady_clock::now();
}

} // namespace

PictureAnimator::PictureAnimator(QWidget& shownOn, ShowFrame show)
    : m_shownOn(shownOn)
    , m_show(std::move(show))
{
    m_timer.setSingleShot(true);
    // A coarse timer may fire a little early, which would cost a second wake-up for the frame.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PictureAnimator::tick);
    m_shownOn.installEventFilter(this);
    if (QWidget* window = m_shownOn.window(); window != &m_shownOn)
        window->installEventFilter(this);
}

PictureAnimator::~PictureAnimator() = default;

void PictureAnimator::play(const Picture& picture)
{
    stop();
    if (!picture.isAnimated())
        return;
    const std::shared_ptr<const Animation>& animation = picture.animation();
    m_player = std::make_unique<FramePlayer>(std::make_unique<FrameDecoder>(animation, picture.size()),
                                             frameDelay(animation->firstDelayMs), animation->loopCount, now());
    m_paused = false;
    followVisibility();
    schedule();
}

void PictureAnimator::stop()
{
    m_timer.stop();
    m_player.reset();
    m_paused = false;
}

bool PictureAnimator::unseen() const
{
    return !m_shownOn.isVisible() || m_shownOn.window()->isMinimized();
}

void PictureAnimator::followVisibility()
{
    if (!m_player)
        return;
    const bool pause = unseen();
    if (pause == m_paused)
        return;
    m_paused = pause;
    if (pause)
        m_player->pause(now());
    else
        m_player->resume(now());
    schedule();
}

bool PictureAnimator::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowStateChange:
        followVisibility();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void PictureAnimator::schedule(std::chrono::nanoseconds atLeast)
{
    const std::optional<FramePlayer::TimePoint> due = m_player ? m_player->due() : std::nullopt;
    if (!due) {
        m_timer.stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::max(*due - now(), atLeast));
    m_timer.start(std::max(std::chrono::milliseconds(0), wait));
}

void PictureAnimator::tick()
{
    if (!m_player)
        return;
    const FramePlayer::TimePoint start = now();
    if (std::optional<Picture> frame = m_player->advance(start))
        m_show(*frame);
    // A frame that takes longer to decode and show than it stays (a huge picture) is given the
    // event thread back for as long again, so the keys and the doors never wait on it.
    schedule(now() - start);
}

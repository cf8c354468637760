#pragma once

#include <QByteArray>

class Platform;

// The buzzer clips: each play loads the clip's WAVE image from the resources (":/wave/<clip>")
// into one buffer, kept for the whole run, and hands it to the platform to play.
class Common {
public:
    explicit Common(Platform& platform);

    // Starts the clip and lets the events already waiting run once, so the window keeps up
    // while the buzzer sounds; returns without waiting for the clip to end.
    void PlayResSound(short clip);
    // Plays the clip and returns when it has ended.
    void PlayResSoundWait(short clip);

    // The WAVE image of the clip played last; empty before the first play.
    const QByteArray& SoundData() const;

private:
    void play(short clip, bool wait);

    Platform& m_platform;
    QByteArray m_soundData;
};

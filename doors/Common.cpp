#include "doors/Common.h"

#include "assets/Assets.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QFile>

Common::Common(Platform& platform)
    : m_platform(platform)
{
    Assets::init();
}

void Common::PlayResSound(short clip)
{
    play(clip, false);
    QCoreApplication::processEvents();
}

void Common::PlayResSoundWait(short clip)
{
    play(clip, true);
}

const QByteArray& Common::SoundData() const
{
    return m_soundData;
}

void Common::play(short clip, bool wait)
{
    // The platform may still be reading the buffer for the clip now playing: silence it before
    // the buffer is replaced.
    m_platform.StopSound();

    QFile resource(QStringLiteral(":/wave/%1").arg(clip));
    if (!resource.open(QIODevice::ReadOnly)) {
        qWarning("Common: no sound clip %d", int(clip));
        m_soundData.clear();
        return;
    }
    m_soundData = resource.readAll();
    m_platform.PlaySound(std::as_bytes(std::span(m_soundData.constData(), m_soundData.size())), wait);
}

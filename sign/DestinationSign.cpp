#include "sign/DestinationSign.h"

#include <limits>

namespace {

constexpr int kMax16 = std::numeric_limits<qint16>::max();

} // namespace

DestinationSign::DestinationSign(Platform& platform, FileList& list, SignFace& face, QSize visibleSize)
    : m_platform(platform)
    , m_list(list)
    , m_face(face)
    , m_visibleSize(visibleSize)
{
}

void DestinationSign::ensureTrailingSeparator()
{
    if (!m_folderPath.endsWith(u'/'))
        m_folderPath += u'/';
}

bool DestinationSign::show(const QString& name)
{
    // An empty name (an index past the list's end) names the folder itself, which is no picture.
    Result<Picture> load = m_platform.LoadPicture(m_folderPath + name, m_visibleSize);
    if (!load.ok())
        return false;
    m_face.showPicture(std::move(load).value());
    return true;
}

void DestinationSign::keyDown(int keyCode)
{
    ensureTrailingSeparator();
    // From here on a failure ends the key's handling without a word.
    if (keyCode == VbKey::Up) {
        if (m_index == 0)
            return;
        --m_index;
    } else if (keyCode == VbKey::Down) {
        // The list's count is a 16-bit number. In a folder of more entries than that it wraps
        // round, never equals the index, and the arrows step on through the first 32,768 signs;
        // past those the index climbs but loads nothing: no list entry has that number.
        const auto count = static_cast<qint16>(m_list.ListCount());
        if (m_index == count - 1)
            return;
        if (m_index == std::numeric_limits<qint32>::max())
            return;
        ++m_index;
    } else {
        return;
    }
    if (m_index > kMax16)
        return;
    show(m_list.List(m_index));
}

void DestinationSign::showNumber(const QString& digits)
{
    ensureTrailingSeparator();
    bool ok = true;
    // The display holds at most six digits; an empty display means 0.
    const qint64 number = digits.isEmpty() ? 0 : digits.toLongLong(&ok);
    if (!ok || number < 0 || number > kMax16)
        return;
    show(m_list.List(int(number)));
}

Result<void> DestinationSign::pointListAtFolder()
{
    Result<void> listed = m_list.setPath(m_folderPath);
    // A path that names a file, or runs through one, is as good as not there: the user is
    // asked for the folder again rather than told about files.
    if (!listed.ok() && listed.kind() == Failure::Kind::NotAFolder)
        return Failure { Failure::Kind::NotFound, listed.failure().description };
    return listed;
}

#include "platform/Files.h"

#include "platform/SystemErrors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Files {

bool isWritableFolder(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    return !native.isEmpty() && ::access(native.constData(), W_OK | X_OK) == 0;
}

QString userConfigFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/kururin");
}

Result<QByteArray> read(const QString& path, qint64 maxBytes)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        return SystemErrors::failure(errno ? errno : EIO);
    // Read as far as the limit in pieces: asking for the limit at once would set that much
    // memory aside for a settings file of a hundred bytes.
    QByteArray bytes;
    bytes.reserve(qBound<qint64>(0, file.size(), maxBytes) + 1);
    char piece[16384];
    for (;;) {
        const qint64 n = file.read(piece, sizeof piece);
        if (n < 0 || file.error() != QFileDevice::NoError)
            return Failure { Failure::Kind::Unreadable, SystemErrors::text(EIO) };
        if (n == 0)
            return bytes;
        bytes.append(piece, n);
        if (bytes.size() > maxBytes)
            return Failure { Failure::Kind::TooLarge, SystemErrors::text(EFBIG) };
    }
}

namespace {

// The new file is hidden and named so that no file of the user's (a "name.backup" beside the
// target, say) can look like one.
QString temporaryPrefix(const QFileInfo& target)
{
    return QLatin1Char('.') + target.fileName() + QStringLiteral(".new-");
}

// A save killed between making its new file and renaming it leaves that file behind. The next
// save clears such leftovers once they are old enough that no other save can still be writing
// them.
void removeLeftovers(const QString& path)
{
    const QFileInfo target(path);
    const QDir folder = target.absoluteDir();
    const QString prefix = temporaryPrefix(target);
    const QDateTime settled = QDateTime::currentDateTimeUtc().addSecs(-60);
    // Compared by hand: the target's name may hold characters that a name filter takes as
    // wildcards.
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
        if (!name.startsWith(prefix) || name.size() != prefix.size() + 6)
            continue;
        const QFileInfo leftover(folder.filePath(name));
        if (leftover.lastModified().toUTC() < settled)
            QFile::remove(leftover.filePath());
    }
}

} // namespace

Result<void> writeAtomically(const QString& path, const QByteArray& bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return SystemErrors::failure(errno ? errno : EACCES);

    // Every step is checked by hand: a full disk shows up as a short write or a failing close,
    // and only a file that was written whole and synced may replace the old one.
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    QByteArray temporary = QFile::encodeName(info.absoluteDir().filePath(temporaryPrefix(info))) + "XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return SystemErrors::failure(errno);
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temporary.constData());
        return Result<void>(SystemErrors::failure(err));
    };
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : ENOSPC);
        done += n;
    }
    if (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temporary.constData());
        return SystemErrors::failure(err);
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(temporary.constData());
        return SystemErrors::failure(err);
    }
    removeLeftovers(path);
    // The rename itself must reach the disk too.
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return {};
}

} // namespace Files

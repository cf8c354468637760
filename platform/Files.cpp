#include "Files.h"

#include "Folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
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

std::optional<QByteArray> read(const QString& path, qint64 maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes || file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

WriteResult writeAtomically(const QString& path, const QByteArray& bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return { false, Folders::errorText(errno ? errno : EACCES) };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return { false, file.errorString() };
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return { false, why };
    }
    // QSaveFile syncs the new file to the disk before it renames it over the old one.
    if (!file.commit())
        return { false, file.errorString() };
    return {};
}

} // namespace Files

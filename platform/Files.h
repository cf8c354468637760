#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Files {

// Whether new files can be made in the folder (which is what replacing a file safely needs).
bool isWritableFolder(const QString& folder);

// The user's own folder for this program's settings ($XDG_CONFIG_HOME/kururin, usually
// ~/.config/kururin).
QString userConfigFolder();

// The whole file, or nothing when it cannot be read or is larger than maxBytes.
std::optional<QByteArray> read(const QString& path, qint64 maxBytes);

struct WriteResult {
    bool ok { true };
    QString description; // the system's words when it failed
};
// Writes a new file beside the old one, syncs it to the disk and renames it over the old one,
// so that a crash, a power cut or a full disk leaves the old file whole or the new one complete.
WriteResult writeAtomically(const QString& path, const QByteArray& bytes);

} // namespace Files

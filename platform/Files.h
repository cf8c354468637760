#pragma once

#include "result/Result.h"

#include <QByteArray>
#include <QString>

namespace Files {

// Whether new files can be made in the folder (which is what replacing a file safely needs).
bool isWritableFolder(const QString& folder);

// The user's own folder for this program's settings ($XDG_CONFIG_HOME/kururin, usually
// ~/.config/kururin).
QString userConfigFolder();

// The whole file; a failure when it cannot be read or is larger than maxBytes (TooLarge).
Result<QByteArray> read(const QString& path, qint64 maxBytes);

// Writes a new file beside the old one, syncs it to the disk and renames it over the old one,
// so that a crash, a power cut or a full disk leaves the old file whole or the new one complete.
// A failure is described in the system's words.
Result<void> writeAtomically(const QString& path, const QByteArray& bytes);

} // namespace Files

#pragma once

#include "result/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The maker's library, KBT7Res, asked for the homepage's address. It is loaded afresh for every
// question, by name through the system's library search (the program's own folder first).
namespace MakerLibrary {

inline constexpr const char* kLibrary = "libKBT7Res.so";
inline constexpr const char* kFunction = "SoramichiHpURL";

// The address, or what went wrong in the words shown to the user. Looks in each of the folders
// first, then along the system's library search path.
Result<QString> homepage(const QByteArray& library = kLibrary, const QStringList& folders = {});

} // namespace MakerLibrary

#pragma once

#include "platform/Platform.h"

namespace Folders {

// The ordinary, non-hidden files of a folder, unsorted.
FolderListing list(const QString& path);

// A system error number in plain Japanese words, for messages shown to the user.
QString errorText(int err);

} // namespace Folders

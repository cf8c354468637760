#pragma once

#include "platform/Platform.h"

namespace Folders {

// The ordinary, non-hidden files of a folder, unsorted.
FolderListing list(const QString& path);

} // namespace Folders

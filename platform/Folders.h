#pragma once

#include "platform/Platform.h"

namespace Folders {

// The names of a folder's ordinary, non-hidden files, without their folder and unsorted.
Result<QStringList> list(const QString& path);

} // namespace Folders

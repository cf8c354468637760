#pragma once

#include "result/Result.h"

#include <QString>

namespace SystemErrors {

// A system error number in plain Japanese words, for messages shown to the user.
QString text(int err);

// The failure a system error number stands for, described in those words.
Failure failure(int err);

} // namespace SystemErrors

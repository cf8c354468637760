#pragma once

#include <QString>

namespace SystemErrors {

// A system error number in plain Japanese words, for messages shown to the user.
QString text(int err);

} // namespace SystemErrors

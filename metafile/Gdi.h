#pragma once

// GDI's vocabulary: the numbers WMF and EMF records carry, named once. The players turn a
// record's raw field into these types as they read it, and the canvas takes only these types.

#include <QtGlobal>

namespace metafile::gdi {

// ---- device context codes

// ---- record types

} // namespace metafile::gdi

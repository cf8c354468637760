#pragma once

#include <QString>

namespace metafile {

// The installed face that best stands in for a face name written into a metafile on Windows
// (Arial, Times New Roman, ＭＳ ゴシック, ...). Names without a known stand-in come back as they
// are, for Qt's own fallback to handle. Safe to call from any thread.
QString installedFace(const QString& windowsFace);

} // namespace metafile

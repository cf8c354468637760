#pragma once

#include <QFont>
#include <QString>

namespace Fonts {

inline const QString kGothic = QStringLiteral("ＭＳ ゴシック");
inline const QString kPGothic = QStringLiteral("ＭＳ Ｐゴシック");

// Loads the system's font configuration on a second thread while the window system connection
// is made, so the first text painted does not wait for it.
void warmUpInBackground();

// The design names Windows' Japanese Gothic faces; map them onto the installed IPA faces.
void installSubstitutions();

// A font as the design states it: a face name and a size in points at 96 dots per inch.
QFont designFont(const QString& family, double points, bool bold = false, bool underline = false);

} // namespace Fonts

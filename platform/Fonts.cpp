#include "Fonts.h"

#include <QApplication>
#include <fontconfig/fontconfig.h>

#include <cmath>
#include <thread>

namespace Fonts {

void warmUpInBackground()
{
    // fontconfig guards its one configuration itself: if Qt asks before this thread is done,
    // both load it and one copy is dropped, which is no slower than not warming up at all.
    std::thread([] { FcInit(); }).detach();
}

void installSubstitutions()
{
    QFont::insertSubstitutions(kGothic, { QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP") });
    QFont::insertSubstitutions(kPGothic, { QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP") });
}

QFont designFont(const QString& family, double points, bool bold, bool underline)
{
    QFont font(family);
    // The layout is fixed in pixels at 96 dpi, so the text must be sized in pixels too, whatever
    // dpi the X server reports.
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

} // namespace Fonts

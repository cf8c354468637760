#include "platform/Startup.h"

#include <QApplication>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace Startup {

void beforeApplication()
{
    // Window placement and a topmost panel need X11; in a Wayland session that means XWayland.
    // A platform the user chose explicitly still wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

#ifdef __GLIBC__
    // One heap for every thread: the helper threads only start the program up and play sounds,
    // and a heap of their own each would keep a few hundred kilobytes resident for nothing.
    mallopt(M_ARENA_MAX, 1);
#endif
    Fonts::warmUpInBackground();
}

ApplicationFonts::ApplicationFonts()
{
    Fonts::installSubstitutions();
    QApplication::setFont(Fonts::programFont(Fonts::kPGothic, 9));
}

} // namespace Startup

#include "DesktopPlatform.h"
#include "Fonts.h"
#include "Form1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // Window placement and a topmost panel need X11; in a Wayland session that means XWayland.
    // A platform the user chose explicitly still wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    Fonts::warmUpInBackground();
    QApplication app(argc, argv);
    const Fonts::DatabaseWarmUp fontDatabase;
    Fonts::installSubstitutions();
    QApplication::setFont(Fonts::designFont(Fonts::kPGothic, 9));

    DesktopPlatform platform;
    Form1 bus(platform);
    platform.WatchShutdownRequests([&bus] { bus.close(); });
    bus.Form_Load();
    bus.show();
    return app.exec();
}

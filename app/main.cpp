#include "app/Form1.h"
#include "platform/DesktopPlatform.h"
#include "platform/Startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    Startup::beforeApplication();
    QApplication app(argc, argv);
    const Startup::ApplicationFonts fonts;
    const Startup::ApplicationLanguage language;

    DesktopPlatform platform;
    Form1 bus(platform);
    platform.WatchShutdownRequests([&bus] { bus.close(); });
    bus.Form_Load();
    bus.show();
    return app.exec();
}

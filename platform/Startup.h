#pragma once

#include "platform/Fonts.h"

// What the process sets up around the application object, in the order start-up needs it.
namespace Startup {

// Before the application object: the X11 platform in a Wayland session, one heap for all
// threads, and the font lookup started on a second thread.
void beforeApplication();

// Once the application object exists: the program's fonts, with Qt's font database filled on a
// second thread meanwhile. Keep it for as long as the application object lives.
class ApplicationFonts {
public:
    ApplicationFonts();

private:
    Fonts::DatabaseWarmUp m_database;
};

} // namespace Startup

#pragma once

#include "platform/Fonts.h"
#include "platform/Translation.h"

#include <QTranslator>

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

// Once the application object exists: the texts in the language the user's desktop asks for,
// looked for in the given folders (by default the user's UI languages and the program's
// translation folders). Keep it for as long as the application object lives.
class ApplicationLanguage {
public:
    ApplicationLanguage();
    ApplicationLanguage(const QStringList& uiLanguages, const QStringList& folders);
    ~ApplicationLanguage();
    ApplicationLanguage(const ApplicationLanguage&) = delete;
    ApplicationLanguage& operator=(const ApplicationLanguage&) = delete;

    // The language the texts are in: English only when its translation was found.
    Translation::Language language() const { return m_language; }

private:
    QTranslator m_translator;
    QTranslator m_qtTranslator; // Qt's own texts: the file dialog's, the message boxes' buttons
    Translation::Language m_language { Translation::Language::Japanese };
};

} // namespace Startup

#include "platform/Startup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>

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

ApplicationLanguage::ApplicationLanguage()
    : ApplicationLanguage(QLocale::system().uiLanguages(), Translation::folders(QCoreApplication::applicationDirPath()))
{
}

ApplicationLanguage::ApplicationLanguage(const QStringList& uiLanguages, const QStringList& folders)
{
    const Translation::Language wanted = Translation::choose(uiLanguages);
    if (wanted != Translation::Language::Japanese) {
        for (const QString& folder : folders) {
            if (m_translator.load(Translation::fileName(wanted), folder)) {
                QCoreApplication::installTranslator(&m_translator);
                m_language = wanted;
                break;
            }
        }
    }
    // The default locale picks the built-in pictures that carry lettering (the door toggles);
    // it must follow the texts, not the locale the formats come from.
    const QLocale texts = m_language == Translation::Language::English ? QLocale(QLocale::English)
                                                                        : QLocale(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(texts);
    // Qt's own dialogs and buttons speak English unless given Qt's translation of the same
    // language (Debian's qt6-translations-l10n), so that a Japanese desk does not open an English
    // file dialog.
    if (m_language == Translation::Language::Japanese
        && m_qtTranslator.load(texts, QStringLiteral("qtbase"), QStringLiteral("_"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qtTranslator);
}

ApplicationLanguage::~ApplicationLanguage()
{
    QCoreApplication::removeTranslator(&m_qtTranslator);
    QCoreApplication::removeTranslator(&m_translator);
}

} // namespace Startup

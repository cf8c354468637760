#include "platform/Translation.h"

#include <QLocale>

namespace Translation {

Language choose(const QStringList& uiLanguages)
{
    for (const QString& name : uiLanguages) {
        switch (QLocale(name).language()) {
        case QLocale::English: return Language::English;
        case QLocale::Japanese: return Language::Japanese;
        default: break;
        }
    }
    return Language::Japanese;
}

QString fileName(Language language)
{
    switch (language) {
    case Language::English: return QStringLiteral("kururin_en");
    case Language::Japanese: break;
    }
    return {};
}

QStringList folders(const QString& programFolder)
{
    return { programFolder + QStringLiteral("/translations"),
             programFolder + QStringLiteral("/" KURURIN_INSTALLED_TRANSLATIONS) };
}

} // namespace Translation

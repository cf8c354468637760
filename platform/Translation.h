#pragma once

#include <QString>
#include <QStringList>

// The program's texts are Japanese; an English translation serves users whose desktop speaks
// English.
namespace Translation {

enum class Language { Japanese, English };

// English when the user's UI languages name English before Japanese; Japanese otherwise,
// including for the C locale and for any language the program has no translation for.
Language choose(const QStringList& uiLanguages);

// The translation file of a language, without its ".qm"; empty for Japanese, which needs none.
QString fileName(Language language);

// Where the translations lie: beside a program run from its build folder, then in the data
// folder of an installed program.
QStringList folders(const QString& programFolder);

} // namespace Translation

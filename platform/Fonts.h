#pragma once

#include <QFont>
#include <QString>

#include <thread>

namespace Fonts {

inline const QString kGothic = QStringLiteral("ＭＳ ゴシック");
inline const QString kPGothic = QStringLiteral("ＭＳ Ｐゴシック");

// Starts looking up the installed faces for the program's font names on a second thread, together
// with loading the system's font configuration, so the first text painted waits for neither.
void warmUpInBackground();

// Fills Qt's font database (every installed font, read from fontconfig) on a second thread while
// the windows are made and mapped. Qt guards the database with a lock, so text measured or drawn
// meanwhile waits for it rather than filling it again. Made once the application object exists;
// waits for the thread when destroyed, so it must not outlive that object.
class DatabaseWarmUp {
public:
    DatabaseWarmUp();
    ~DatabaseWarmUp();
    DatabaseWarmUp(const DatabaseWarmUp&) = delete;
    DatabaseWarmUp& operator=(const DatabaseWarmUp&) = delete;

private:
    std::thread m_thread;
};

// The program's texts name Windows' Japanese Gothic faces; map them onto the installed IPA faces.
void installSubstitutions();

// The installed face that stands in for one of the program's face names (IPAGothic for
// ＭＳ ゴシック, ...); the name itself when none of its stand-ins is installed.
QString installedFace(const QString& family);

// A font as the program names it: a face name and a size in points at 96 dots per inch. The
// font names the installed face directly: asking Qt for a face that does not exist makes it
// search every font on the system for fallbacks before it tries the substitutes.
QFont programFont(const QString& family, double points, bool bold = false, bool underline = false);

} // namespace Fonts

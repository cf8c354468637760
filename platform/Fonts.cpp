#include "platform/Fonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <fontconfig/fontconfig.h>

#include <cmath>
#include <future>
#include <string>
#include <vector>

namespace Fonts {

namespace {

struct Candidates {
    const QString* name;
    std::vector<const char*> faces;
};

const std::vector<Candidates>& candidates()
{
    static const std::vector<Candidates> list {
        { &kGothic, { "IPAGothic", "Noto Sans Mono CJK JP" } },
        { &kPGothic, { "IPAPGothic", "Noto Sans CJK JP" } },
    };
    return list;
}

bool faceInstalled(const char* family)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* found = FcFontList(nullptr, pattern, objects);
    const bool installed = found && found->nfont > 0;
    if (found)
        FcFontSetDestroy(found);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return installed;
}

// For each of the program's face names, the first of its stand-ins that is installed; empty when
// none is.
std::vector<std::string> lookUpFaces()
{
    std::vector<std::string> chosen;
    const bool configured = FcInit();
    for (const Candidates& c : candidates()) {
        std::string face;
        for (const char* candidate : c.faces) {
            if (configured && faceInstalled(candidate)) {
                face = candidate;
                break;
            }
        }
        chosen.push_back(face);
    }
    return chosen;
}

const std::shared_future<std::vector<std::string>>& installedFaces()
{
    // fontconfig guards its one configuration itself: if Qt asks before this thread is done,
    // both load it and one copy is dropped, which is no slower than not looking ahead at all.
    static const std::shared_future<std::vector<std::string>> faces = std::async(std::launch::async, lookUpFaces).share();
    return faces;
}

} // namespace

void warmUpInBackground()
{
    installedFaces();
}

DatabaseWarmUp::DatabaseWarmUp()
    : m_thread([] {
        // After fontconfig's own configuration is loaded, so the two threads never both load it.
        installedFaces().wait();
        QFontDatabase::families();
    })
{
}

DatabaseWarmUp::~DatabaseWarmUp()
{
    m_thread.join();
}

void installSubstitutions()
{
    for (const Candidates& c : candidates()) {
        QStringList faces;
        for (const char* face : c.faces)
            faces << QString::fromLatin1(face);
        QFont::insertSubstitutions(*c.name, faces);
    }
}

QString installedFace(const QString& family)
{
    const std::vector<std::string>& faces = installedFaces().get();
    for (size_t i = 0; i < candidates().size(); ++i) {
        if (*candidates()[i].name == family && !faces[i].empty())
            return QString::fromStdString(faces[i]);
    }
    return family;
}

QFont programFont(const QString& family, double points, bool bold, bool underline)
{
    QFont font(installedFace(family));
    // The layout is fixed in pixels at 96 dpi, so the text must be sized in pixels too, whatever
    // dpi the X server reports.
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    font.setBold(bold);
    font.setUnderline(underline);
    // At these sizes the light hinting barely shows, while FreeType's autohinter, which gives it
    // to these faces, first walks the whole character map and samples glyphs all over the 6 MB
    // font file: some five million instructions and nearly a megabyte of it mapped before the
    // panel's first text.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace Fonts

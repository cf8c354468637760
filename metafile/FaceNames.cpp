#include "metafile/FaceNames.h"

#include <QFontDatabase>
#include <QHash>
#include <QMutex>
#include <QStringList>

namespace metafile {
namespace {

struct StandIns {
    QStringList windowsNames;
    QStringList faces; // in order of preference
};

// Metric-compatible faces first, where Debian has them, so text keeps the width it was laid
// out for.
const QList<StandIns>& standIns()
{
    static const QList<StandIns> table {
        { { QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("MS UI Gothic"),
            QStringLiteral("Osaka－等幅") },
          { QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP") } },
        { { QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("メイリオ"),
            QStringLiteral("Meiryo"), QStringLiteral("Meiryo UI"), QStringLiteral("Yu Gothic"),
            QStringLiteral("游ゴシック") },
          { QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP") } },
        { { QStringLiteral("ＭＳ 明朝"), QStringLiteral("MS Mincho") },
          { QStringLiteral("IPAMincho"), QStringLiteral("Noto Serif CJK JP"), QStringLiteral("IPAGothic") } },
        { { QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("MS PMincho"), QStringLiteral("Yu Mincho"),
            QStringLiteral("游明朝") },
          { QStringLiteral("IPAPMincho"), QStringLiteral("Noto Serif CJK JP"), QStringLiteral("IPAPGothic") } },
        { { QStringLiteral("Calibri"), QStringLiteral("Calibri Light") },
          { QStringLiteral("Carlito"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans") } },
        { { QStringLiteral("Cambria"), QStringLiteral("Cambria Math") },
          { QStringLiteral("Caladea"), QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif") } },
        { { QStringLiteral("Arial"), QStringLiteral("Helvetica"), QStringLiteral("Arial Unicode MS"),
            QStringLiteral("Tahoma"), QStringLiteral("Verdana"), QStringLiteral("Segoe UI"),
            QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif") },
          { QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Nimbus Sans"),
            QStringLiteral("DejaVu Sans") } },
        { { QStringLiteral("Arial Narrow") },
          { QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Nimbus Sans Narrow"),
            QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans Condensed") } },
        { { QStringLiteral("Times New Roman"), QStringLiteral("Times"), QStringLiteral("MS Serif"),
            QStringLiteral("Georgia"), QStringLiteral("Book Antiqua") },
          { QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"), QStringLiteral("Nimbus Roman"),
            QStringLiteral("DejaVu Serif") } },
        { { QStringLiteral("Courier New"), QStringLiteral("Courier"), QStringLiteral("Consolas"),
            QStringLiteral("Lucida Console") },
          { QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"), QStringLiteral("Nimbus Mono PS"),
            QStringLiteral("DejaVu Sans Mono") } },
    };
    return table;
}

QString lookUp(const QString& windowsFace)
{
    for (const StandIns& s : standIns()) {
        if (!s.windowsNames.contains(windowsFace, Qt::CaseInsensitive))
            continue;
        for (const QString& face : s.faces) {
            if (QFontDatabase::hasFamily(face))
                return face;
        }
        break;
    }
    return windowsFace;
}

} // namespace

QString installedFace(const QString& windowsFace)
{
    static QMutex mutex;
    static QHash<QString, QString> known;
    const QMutexLocker lock(&mutex);
    auto found = known.constFind(windowsFace);
    if (found == known.constEnd())
        found = known.insert(windowsFace, lookUp(windowsFace));
    return *found;
}

} // namespace metafile

#include "MakerLibrary.h"

#include <QUrl>

#include <cstring>
#include <dlfcn.h>

namespace MakerLibrary {

Answer homepage(const QByteArray& library)
{
    // dlopen is called from the program's own code, so the program's run path (its own folder)
    // is searched before the system's library folders.
    void* handle = ::dlopen(library.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return { {}, QStringLiteral("ファイルが見つかりません。: %1").arg(QString::fromLocal8Bit(library)) };

    using HomepageFunction = const char* (*)();
    auto function = reinterpret_cast<HomepageFunction>(::dlsym(handle, kFunction));
    if (!function) {
        ::dlclose(handle);
        return { {}, QStringLiteral("DLL エントリ ポイント %1 が %2 内に見つかりません。")
                         .arg(QLatin1String(kFunction), QString::fromLocal8Bit(library)) };
    }
    const char* text = function();
    // An address longer than any sensible one is not taken on trust either.
    constexpr std::size_t kLongest = 8192;
    const QString address = text ? QString::fromLocal8Bit(text, qsizetype(::strnlen(text, kLongest + 1))) : QString();
    ::dlclose(handle);

    if (address.trimmed().isEmpty())
        return { {}, QStringLiteral("ホームページのアドレスを取得できませんでした。") };
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (address.size() > qsizetype(kLongest) || !url.isValid()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("file"))
        || (scheme != QLatin1String("file") && url.host().isEmpty()))
        return { {}, QStringLiteral("ホームページのアドレスが正しくありません。") };
    return { address, {} };
}

} // namespace MakerLibrary

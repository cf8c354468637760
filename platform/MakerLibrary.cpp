#include "platform/MakerLibrary.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cstring>
#include <dlfcn.h>

namespace MakerLibrary {

Result<QString> homepage(const QByteArray& library, const QStringList& folders)
{
    // The program's own folders are tried by full path: the run path that dlopen would use is
    // the caller's, and a sanitizer or profiler that wraps dlopen changes who the caller is.
    void* handle = nullptr;
    for (const QString& folder : folders) {
        const QByteArray path = QFile::encodeName(folder) + '/' + library;
        if (QFileInfo::exists(QFile::decodeName(path)) && (handle = ::dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL)))
            break;
    }
    if (!handle)
        handle = ::dlopen(library.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return Failure { Failure::Kind::NotFound, QCoreApplication::translate("MakerLibrary", "ファイルが見つかりません。: %1")
                                                      .arg(QString::fromLocal8Bit(library)) };

    using HomepageFunction = const char* (*)();
    auto function = reinterpret_cast<HomepageFunction>(::dlsym(handle, kFunction));
    if (!function) {
        ::dlclose(handle);
        return Failure { Failure::Kind::NotFound, QCoreApplication::translate("MakerLibrary", "DLL エントリ ポイント %1 が %2 内に見つかりません。")
                                                      .arg(QLatin1String(kFunction), QString::fromLocal8Bit(library)) };
    }
    const char* text = function();
    // An address longer than any sensible one is not taken on trust either.
    constexpr std::size_t kLongest = 8192;
    const QString address = text ? QString::fromLocal8Bit(text, qsizetype(::strnlen(text, kLongest + 1))) : QString();
    ::dlclose(handle);

    if (address.trimmed().isEmpty())
        return Failure { Failure::Kind::Malformed, QCoreApplication::translate("MakerLibrary", "ホームページのアドレスを取得できませんでした。") };
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (address.size() > qsizetype(kLongest) || !url.isValid()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("file"))
        || (scheme != QLatin1String("file") && url.host().isEmpty()))
        return Failure { Failure::Kind::Malformed, QCoreApplication::translate("MakerLibrary", "ホームページのアドレスが正しくありません。") };
    return address;
}

} // namespace MakerLibrary

#include "platform/Folders.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace Folders {

QString errorText(int err)
{
    switch (err) {
    case ENOENT: return QStringLiteral("指定したパスが見つかりません。");
    case ENOTDIR: return QStringLiteral("指定したパスはフォルダーではありません。");
    case EACCES:
    case EPERM: return QStringLiteral("アクセスが拒否されました。");
    case EIO: return QStringLiteral("デバイスの入出力エラーです。");
    case ENOSPC: return QStringLiteral("ディスクの空き容量が不足しています。");
    case EFBIG: return QStringLiteral("ファイルが大きすぎます。");
    case EDQUOT: return QStringLiteral("ディスクの使用量の上限を超えています。");
    case EROFS: return QStringLiteral("読み取り専用のファイルシステムです。");
    case ENAMETOOLONG: return QStringLiteral("パスが長すぎます。");
    case ELOOP: return QStringLiteral("シンボリックリンクの階層が深すぎます。");
    case EMFILE:
    case ENFILE: return QStringLiteral("開いているファイルが多すぎます。");
    case ENOMEM: return QStringLiteral("メモリが不足しています。");
    default: return QStringLiteral("ファイルシステムのエラーです (%1)。").arg(err);
    }
}

FolderListing list(const QString& path)
{
    FolderListing listing;
    const QByteArray native = QFile::encodeName(path);
    DIR* dir = ::opendir(native.isEmpty() ? "" : native.constData());
    if (!dir) {
        const int err = errno;
        switch (err) {
        case ENOENT: listing.error = FolderError::NotFound; break;
        case ENOTDIR: listing.error = FolderError::NotAFolder; break;
        case EACCES:
        case EPERM: listing.error = FolderError::PermissionDenied; break;
        default: listing.error = FolderError::Other; break;
        }
        listing.description = errorText(err);
        return listing;
    }
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue; // hidden files, "." and ".."
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            regular = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (regular)
            listing.names << QFile::decodeName(entry->d_name);
    }
    ::closedir(dir);
    return listing;
}

} // namespace Folders

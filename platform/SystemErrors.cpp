#include "platform/SystemErrors.h"

#include <cerrno>

namespace SystemErrors {

QString text(int err)
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

} // namespace SystemErrors

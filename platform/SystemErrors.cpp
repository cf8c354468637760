#include "platform/SystemErrors.h"

#include <QCoreApplication>

#include <cerrno>

namespace SystemErrors {

QString text(int err)
{
    switch (err) {
    case ENOENT: return QCoreApplication::translate("SystemErrors", "指定したパスが見つかりません。");
    case ENOTDIR: return QCoreApplication::translate("SystemErrors", "指定したパスはフォルダーではありません。");
    case EISDIR: return QCoreApplication::translate("SystemErrors", "指定したパスはフォルダーです。");
    case EACCES:
    case EPERM: return QCoreApplication::translate("SystemErrors", "アクセスが拒否されました。");
    case EIO: return QCoreApplication::translate("SystemErrors", "デバイスの入出力エラーです。");
    case ENOSPC: return QCoreApplication::translate("SystemErrors", "ディスクの空き容量が不足しています。");
    case EFBIG: return QCoreApplication::translate("SystemErrors", "ファイルが大きすぎます。");
    case EDQUOT: return QCoreApplication::translate("SystemErrors", "ディスクの使用量の上限を超えています。");
    case EROFS: return QCoreApplication::translate("SystemErrors", "読み取り専用のファイルシステムです。");
    case ENAMETOOLONG: return QCoreApplication::translate("SystemErrors", "パスが長すぎます。");
    case ELOOP: return QCoreApplication::translate("SystemErrors", "シンボリックリンクの階層が深すぎます。");
    case EMFILE:
    case ENFILE: return QCoreApplication::translate("SystemErrors", "開いているファイルが多すぎます。");
    case ENOMEM: return QCoreApplication::translate("SystemErrors", "メモリが不足しています。");
    default: return QCoreApplication::translate("SystemErrors", "ファイルシステムのエラーです (%1)。").arg(err);
    }
}

Failure failure(int err)
{
    switch (err) {
    case ENOENT: return { Failure::Kind::NotFound, text(err) };
    case ENOTDIR: return { Failure::Kind::NotAFolder, text(err) };
    case EISDIR: return { Failure::Kind::IsAFolder, text(err) };
    case EACCES:
    case EPERM: return { Failure::Kind::PermissionDenied, text(err) };
    default: return { Failure::Kind::Other, text(err) };
    }
}

} // namespace SystemErrors

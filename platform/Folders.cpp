#include "platform/Folders.h"

#include "platform/SystemErrors.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace Folders {

Result<QStringList> list(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    DIR* dir = ::opendir(native.isEmpty() ? "" : native.constData());
    if (!dir)
        return SystemErrors::failure(errno);
    QStringList names;
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
            names << QFile::decodeName(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

} // namespace Folders

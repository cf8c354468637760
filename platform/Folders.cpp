#include "platform/Folders.h"

#include "platform/SystemErrors.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace Folders {

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
        listing.description = SystemErrors::text(err);
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

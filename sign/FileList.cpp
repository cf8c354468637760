#include "FileList.h"

#include <algorithm>

FileList::FileList(Platform& platform, twips::Rect rect)
    : m_platform(platform)
    , m_rect(rect)
{
    setPattern(m_pattern);
}

void FileList::setPattern(const QString& pattern)
{
    m_pattern = pattern;
    m_extensions.clear();
    for (const QString& part : pattern.split(u';', Qt::SkipEmptyParts)) {
        const QString p = part.trimmed();
        // Every pattern this list is given has the form "*.ext"; "*.*" takes every file.
        if (p.startsWith(QStringLiteral("*.")))
            m_extensions << p.mid(1).toLower();
    }
}

bool FileList::matches(const QString& name) const
{
    for (const QString& ext : m_extensions) {
        if (ext == QStringLiteral(".*"))
            return true;
        if (name.size() > ext.size() && name.endsWith(ext, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

FolderListing FileList::setPath(const QString& path)
{
    FolderListing listing = m_platform.ListFolder(path);
    if (listing.error != FolderError::None)
        return listing;

    QStringList entries;
    entries.reserve(listing.names.size());
    for (QString& name : listing.names) {
        if (matches(name))
            entries << std::move(name);
    }
    std::sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    m_path = path;
    m_entries = std::move(entries);
    listing.names.clear();
    return listing;
}

QString FileList::List(int index) const
{
    if (index < 0 || index >= m_entries.size())
        return {};
    return m_entries.at(index);
}

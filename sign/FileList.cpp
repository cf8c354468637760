#include "sign/FileList.h"

#include <algorithm>
#include <utility>
#include <vector>

FileList::FileList(Platform& platform)
    : m_platform(platform)
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

Result<void> FileList::setPath(const QString& path)
{
    Result<QStringList> listing = m_platform.ListFolder(path);
    if (!listing.ok())
        return listing.failure();

    // Sorted by name without regard to case; the folded names are made once, not per comparison,
    // which matters for folders of tens of thousands of files.
    std::vector<std::pair<QString, QString>> keyed;
    keyed.reserve(listing.value().size());
    for (QString& name : listing.value()) {
        if (matches(name))
            keyed.emplace_back(name.toCaseFolded(), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end());
    QStringList entries;
    entries.reserve(qsizetype(keyed.size()));
    for (auto& [key, name] : keyed)
        entries << std::move(name);
    m_path = path;
    m_entries = std::move(entries);
    return {};
}

QString FileList::List(int index) const
{
    if (index < 0 || index >= m_entries.size())
        return {};
    return m_entries.at(index);
}

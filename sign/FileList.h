#pragma once

#include "platform/Platform.h"

#include <QString>
#include <QStringList>

// The hidden list of sign pictures: the files of one folder whose names match the pattern,
// sorted by name without regard to case. It is never shown.
class FileList {
public:
    explicit FileList(Platform& platform);

    QString Path() const { return m_path; }
    // Re-reads the folder at once. On failure the list keeps its previous folder and entries.
    Result<void> setPath(const QString& path);

    QString Pattern() const { return m_pattern; }
    void setPattern(const QString& pattern);

    // The file name of entry index, or an empty name when there is no such entry.
    QString List(int index) const;
    int ListCount() const { return int(m_entries.size()); }

    // True when name matches one of the pattern's "*.ext" parts, without regard to case.
    bool matches(const QString& name) const;

private:
    Platform& m_platform;
    QString m_path;
    QString m_pattern { QStringLiteral("*.*") };
    QStringList m_extensions;
    QStringList m_entries;
};

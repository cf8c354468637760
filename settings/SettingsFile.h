#pragma once

#include "result/Result.h"
#include "settings/IniRecord.h"

#include <QString>

class Platform;

// The settings file: where it lives, and the one record read from it and written back. Values
// the program does not use itself (the reserved items) go back out as they came in.
class SettingsFile {
public:
    explicit SettingsFile(Platform& platform);

    // Where the next save goes: beside the program when its folder is the user's to write, else
    // the user's own configuration folder.
    QString pathForWriting() const;
    // Where settings are read from: where they will be written, or, until that file exists, a
    // file beside the program that may not write there (shipped with it, or left over).
    QString pathForReading() const;

    // Reads the record. Items are taken over one by one: after a failure the items before it
    // hold what was read and the rest what they held. A failure unless the whole record was read.
    Result<void> load();
    // Writes the record; when it could not, the system's words for why.
    Result<void> save();

    IniRecord::Values& values() { return m_values; }
    const IniRecord::Values& values() const { return m_values; }

private:
    QString besideProgram() const;

    Platform& m_platform;
    IniRecord::Values m_values;
};

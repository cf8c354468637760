#include "settings/SettingsFile.h"

#include "platform/Platform.h"

#include <QFileInfo>

namespace {

// The program's own name with ".ini", in folder; a folder that ends in a separator (the root)
// takes no second one.
QString iniIn(const QString& folder, const QString& exeName)
{
    const QString separator = folder.endsWith(u'/') ? QString() : QStringLiteral("/");
    return folder + separator + exeName + QStringLiteral(".ini");
}

} // namespace

SettingsFile::SettingsFile(Platform& platform)
    : m_platform(platform)
{
}

QString SettingsFile::besideProgram() const
{
    return iniIn(m_platform.ProgramFolder(), m_platform.ExeName());
}

QString SettingsFile::pathForWriting() const
{
    // Folders under /usr, /usr/local included, are shared by all users and managed by the
    // package manager or the administrator, even when the system would let root write there.
    const QString program = m_platform.ProgramFolder();
    const bool systemFolder = program == QStringLiteral("/usr") || program.startsWith(QStringLiteral("/usr/"));
    if (!systemFolder && m_platform.IsWritableFolder(program))
        return besideProgram();
    return iniIn(m_platform.UserConfigFolder(), m_platform.ExeName());
}

QString SettingsFile::pathForReading() const
{
    const QString written = pathForWriting();
    if (QFileInfo::exists(written))
        return written;
    const QString beside = besideProgram();
    return QFileInfo::exists(beside) ? beside : written;
}

Result<void> SettingsFile::load()
{
    const Result<QByteArray> file = m_platform.ReadFile(pathForReading());
    if (!file.ok())
        return file.failure();
    return IniRecord::read(file.value(), m_values);
}

Result<void> SettingsFile::save()
{
    return m_platform.WriteFileAtomically(pathForWriting(), IniRecord::write(m_values));
}

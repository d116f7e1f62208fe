#pragma once

#include <QSettings>
#include <QString>

// A settings store of the test's own in a folder. On Linux the program's store follows
// XDG_CONFIG_HOME, in this process and in the copies it starts. The Windows registry cannot be moved
// that way, so there the test processes keep their settings in INI files in that folder instead.
namespace SettingsFolder {

inline constexpr char variable[] = "XDG_CONFIG_HOME";

// The file that holds the settings of the program's own section.
inline QString file(const QString& folder)
{
#if defined(Q_OS_WIN)
    return folder + QStringLiteral("/BD_CHATSLATE/BD-CHATSLATE.ini");
#else
    return folder + QStringLiteral("/BD_CHATSLATE/BD-CHATSLATE.conf");
#endif
}

inline void use(const QString& folder)
{
    qputenv(variable, folder.toLocal8Bit());
#if defined(Q_OS_WIN)
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
#endif
}

// In a test program started by a test: the folder the starting test chose.
inline void useInherited()
{
    if (qEnvironmentVariableIsSet(variable))
        use(qEnvironmentVariable(variable));
}

} // namespace SettingsFolder

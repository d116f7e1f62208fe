#pragma once

#include <QString>

// What the program's messages hold that the platform decides: the live log's path as the file calls
// take it (the share and the file name joined with the platform's separator) and the system's reasons.
namespace PlatformTexts {

inline QString logPathIn(const QString& share)
{
#if defined(Q_OS_WIN)
    return share + QStringLiteral("\\CHATSLATE-LIVE.LOG");
#else
    return share + QStringLiteral("/CHATSLATE-LIVE.LOG");
#endif
}

#if defined(Q_OS_WIN)
inline const QString fileNotFound = QStringLiteral("File not found");
inline const QString folderNotFound = QStringLiteral("Path not found");
inline const QString isAFolder = QStringLiteral("It is a folder, not a file");
#else
inline const QString fileNotFound = QStringLiteral("No such file or directory");
inline const QString folderNotFound = fileNotFound;
inline const QString isAFolder = QStringLiteral("Is a directory");
#endif

} // namespace PlatformTexts

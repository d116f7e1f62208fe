#pragma once

#include "platform/files/file_access.h"

// The texts the live view shows while it is not showing the log.
namespace StatusText {

inline const QString loading = QStringLiteral("Loading...");
inline const QString configure = QStringLiteral("Please Configure BD-ChatSlate Share Location...");
inline const QString autoRefreshDisabled =
    QStringLiteral("BD-ChatSlate - Live Log - Auto Refresh DISABLED...");
inline const QString autoRefreshEnabled = QStringLiteral("BD-ChatSlate - Live Log - Auto Refresh ENABLED...");
inline const QString refreshing = QStringLiteral("Refreshing ChatSlate Live Log...");

// A failed refresh tick shows its error here instead of a dialog every three seconds.
QString readFailed(const FileError& error);

} // namespace StatusText

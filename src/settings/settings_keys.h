#pragma once

#include <QString>

// Every key the program keeps in the settings store, with the default its reader supplies.
namespace SettingsKeys {

struct PlacementKeys
{
    QString left, top, width, height;
    float defaultLeft, defaultTop, defaultWidth, defaultHeight;
};

inline const PlacementKeys mainWindow{QStringLiteral("MAIN-Left"), QStringLiteral("MAIN-Top"),
                                      QStringLiteral("MAIN-Width"), QStringLiteral("MAIN-Height"),
                                      1000, 1000, 10920, 5340};
inline const PlacementKeys settingsWindow{QStringLiteral("SETTINGS-Left"), QStringLiteral("SETTINGS-Top"),
                                          QStringLiteral("SETTINGS-Width"), QStringLiteral("SETTINGS-Height"),
                                          1000, 1000, 9360, 3060};
inline const PlacementKeys compactWindow{QStringLiteral("MINI-MAIN-Left"), QStringLiteral("MINI-MAIN-Top"),
                                         QStringLiteral("MINI-MAIN-Width"), QStringLiteral("MINI-MAIN-Height"),
                                         1000, 1000, 2280, 1035};

inline const QString alwaysOnTop = QStringLiteral("AlwaysOnTopTimer_TICKBOX");
inline constexpr short alwaysOnTopDefault = 1;
inline const QString autoRefresh = QStringLiteral("AUTO_REFRESH_TICKBOX");
inline constexpr short autoRefreshDefault = 0;
inline const QString shareLocation = QStringLiteral("BD_CHATSLATE_SHARE");

} // namespace SettingsKeys

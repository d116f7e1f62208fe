#pragma once

#include <QString>

#include <optional>

// Conversions between the store's text values and what the windows use.
namespace SettingValues {

// A placement value in twips. Written without group separators and with a point, whatever the user's
// locale ("1000", "-120"); read back from that form or the user's own number format. Not a finite
// number, or beyond any screen: nothing.
std::optional<float> parsePlacement(const QString& text);
QString formatPlacement(float twips);

// A tick-box state: 0 unticked, 1 ticked, 2 greyed; anything else is nothing.
std::optional<short> parseTick(const QString& text);
QString formatTick(short state);

} // namespace SettingValues

#pragma once

#include "settings/settings_keys.h"

class SettingsStore;

// Typed access to the settings store: every read goes to the store, and a value that does not convert
// reads as its key's default.
class Settings
{
public:
    explicit Settings(SettingsStore& store);

    struct Placement
    {
        float left, top, width, height;  // outer frame, twips
    };
    // Read in the order Left, Top, Width, Height. A width or height of 0 or less reads as its default.
    Placement readPlacement(const SettingsKeys::PlacementKeys& keys) const;
    // Only the position is ever saved: the sizes stay as the store holds them.
    void savePosition(const SettingsKeys::PlacementKeys& keys, float left, float top);

    short readTick(const QString& key, short defaultValue) const;
    void saveTick(const QString& key, short state);

    QString readShareLocation() const;
    void saveShareLocation(const QString& shareLocation);

private:
    float readNumber(const QString& key, float defaultValue) const;

    SettingsStore& m_store;
};

#include "settings/settings.h"

#include "platform/settings_store.h"
#include "settings/setting_values.h"

Settings::Settings(SettingsStore& store)
    : m_store(store)
{
}

float Settings::readNumber(const QString& key, float defaultValue) const
{
    const QString text = m_store.read(key, SettingValues::formatPlacement(defaultValue));
    return SettingValues::parsePlacement(text).value_or(defaultValue);
}

Settings::Placement Settings::readPlacement(const SettingsKeys::PlacementKeys& keys) const
{
    Placement placement;
    placement.left = readNumber(keys.left, keys.defaultLeft);
    placement.top = readNumber(keys.top, keys.defaultTop);
    placement.width = readNumber(keys.width, keys.defaultWidth);
    placement.height = readNumber(keys.height, keys.defaultHeight);
    if (placement.width <= 0)
        placement.width = keys.defaultWidth;
    if (placement.height <= 0)
        placement.height = keys.defaultHeight;
    return placement;
}

void Settings::savePosition(const SettingsKeys::PlacementKeys& keys, float left, float top)
{
    m_store.save(keys.left, SettingValues::formatPlacement(left));
    m_store.save(keys.top, SettingValues::formatPlacement(top));
}

short Settings::readTick(const QString& key, short defaultValue) const
{
    const QString text = m_store.read(key, SettingValues::formatTick(defaultValue));
    return SettingValues::parseTick(text).value_or(defaultValue);
}

void Settings::saveTick(const QString& key, short state)
{
    m_store.save(key, SettingValues::formatTick(state));
}

QString Settings::readShareLocation() const
{
    return m_store.read(SettingsKeys::shareLocation, QString());
}

void Settings::saveShareLocation(const QString& shareLocation)
{
    m_store.save(SettingsKeys::shareLocation, shareLocation);
}

#pragma once

#include <QString>

// The per-user store the windows keep their placement and preferences in. Values are text; the
// callers convert them.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    // The stored text of key, or defaultValue when the key does not exist.
    virtual QString read(const QString& key, const QString& defaultValue) const = 0;
    virtual void save(const QString& key, const QString& value) = 0;
};

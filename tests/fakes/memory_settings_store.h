#pragma once

#include "platform/settings_store.h"

#include <QMap>
#include <QStringList>

// Test implementation: keeps the keys in memory and records every access in order.
class MemorySettingsStore final : public SettingsStore
{
public:
    QString read(const QString& key, const QString& defaultValue) const override
    {
        m_accesses << QStringLiteral("read ") + key;
        return m_values.value(key, defaultValue);
    }
    void save(const QString& key, const QString& value) override
    {
        m_accesses << QStringLiteral("save ") + key;
        m_values.insert(key, value);
    }

    QMap<QString, QString>& values() { return m_values; }
    QStringList& accesses() { return m_accesses; }

private:
    QMap<QString, QString> m_values;
    mutable QStringList m_accesses;
};

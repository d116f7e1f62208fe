#pragma once

#include "platform/settings_store.h"

// The real store: QSettings in the platform's native format by default (an INI file on Linux, the per-user
// registry on Windows) under organization "BD_CHATSLATE" and the given section.
class QSettingsStore final : public SettingsStore
{
public:
    explicit QSettingsStore(QString section);

    QString read(const QString& key, const QString& defaultValue) const override;
    void save(const QString& key, const QString& value) override;

    // The name the program was started by, without directory and last extension: a copy started
    // under another name (a symlink, a renamed file) keeps settings of its own.
    static QString sectionForProgram(const char* argv0);

private:
    QString m_section;
};

#include "platform/qsettings_store.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString organization = QStringLiteral("BD_CHATSLATE");

} // namespace

QSettingsStore::QSettingsStore(QString section)
    : m_section(std::move(section))
{}

// The default format is the native one unless a test chose INI files (the registry cannot be moved
// out of a developer's way). A fresh QSettings for every access: another copy of the program may have written
// the file since, and nothing of the store is to be cached.
QString QSettingsStore::read(const QString& key, const QString& defaultValue) const
{
    QSettings settings(QSettings::defaultFormat(), QSettings::UserScope, organization, m_section);
    settings.setFallbacksEnabled(false);
    const QVariant value = settings.value(key);
    return value.isValid() ? value.toString() : defaultValue;
}

void QSettingsStore::save(const QString& key, const QString& value)
{
    QSettings settings(QSettings::defaultFormat(), QSettings::UserScope, organization, m_section);
    settings.setFallbacksEnabled(false);
    settings.setValue(key, value);
}

QString QSettingsStore::sectionForProgram(const char* argv0)
{
    // Not QCoreApplication::applicationFilePath(): it resolves symlinks, and a symlink under another
    // name is meant to be a profile of its own.
    return QFileInfo(QString::fromLocal8Bit(argv0)).completeBaseName();
}

#pragma once

#include "support/headless_platform.h"
#include "support/settings_folder.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

// The second_copy program (SECOND_COPY_PATH) as another workstation: headless, on a settings file of
// its own.
class SecondCopyProcess
{
public:
    // What the next copy started loads: this share location, with auto refresh ticked.
    void storeShare(const QString& share) const
    {
        QSettings settings(SettingsFolder::file(m_config.path()), QSettings::IniFormat);
        settings.setValue(QStringLiteral("BD_CHATSLATE_SHARE"), share);
        settings.setValue(QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("1"));
    }

    // The process belongs to parent.
    QProcess* start(QObject* parent, const QStringList& arguments) const
    {
        auto* process = new QProcess(parent);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(SettingsFolder::variable, m_config.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(headlessPlatform));
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(SECOND_COPY_PATH), arguments);
        return process;
    }

private:
    QTemporaryDir m_config;
};

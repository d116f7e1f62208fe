#include "support/headless_platform.h"
#include "support/settings_folder.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

// Copies of the program started by one user under one name share one settings file. Several of them
// closing at the same moment must leave a file that reads back whole, with every key once.
class SharedSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void copiesClosingTogetherLeaveOneReadableFile();
};

void SharedSettingsTest::copiesClosingTogetherLeaveOneReadableFile()
{
    QTemporaryDir config;
    QVERIFY(config.isValid());
    const QString file = SettingsFolder::file(config.path());
    {
        // A key none of the closing copies writes: a rewrite from a stale read would lose it.
        QSettings seed(file, QSettings::IniFormat);
        seed.setValue("SETTINGS-Left", "2400");
        seed.setValue("BD_CHATSLATE_SHARE", "/srv/chat");
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(SettingsFolder::variable, config.path());
    environment.insert("QT_QPA_PLATFORM", headlessPlatform);

    constexpr int rounds = 6;
    constexpr int copies = 3;
    const QStringList closeKeys{"MAIN-Left", "MAIN-Top", "AlwaysOnTopTimer_TICKBOX", "AUTO_REFRESH_TICKBOX",
                                "BD_CHATSLATE_SHARE"};
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::unique_ptr<QProcess>> processes;
        QStringList leftValues;
        for (int copy = 0; copy < copies; ++copy) {
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(environment);
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            const int left = 100 + 10 * copy;
            leftValues.append(QString::number(left * 15));
            process->start(QStringLiteral(SECOND_COPY_PATH), {"close-at", QString::number(left)});
            processes.push_back(std::move(process));
        }
        for (const auto& process : processes)
            QVERIFY2(process->waitForReadyRead(10000), "a copy did not start");
        for (const auto& process : processes)
            process->write("close\n");
        for (const auto& process : processes) {
            QVERIFY(process->waitForFinished(10000));
            QCOMPARE(process->exitCode(), 0);
        }

        QFile raw(file);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(raw.readAll());
        for (const QString& key : closeKeys + QStringList{"SETTINGS-Left"}) {
            const qsizetype count = text.count(QRegularExpression("^" + QRegularExpression::escape(key) + "=",
                                                                  QRegularExpression::MultilineOption));
            QVERIFY2(count == 1, qPrintable(QString("round %1: %2 appears %3 times in\n%4")
                                                .arg(round)
                                                .arg(key)
                                                .arg(count)
                                                .arg(text)));
        }
        QSettings settings(file, QSettings::IniFormat);
        QCOMPARE(settings.status(), QSettings::NoError);
        QCOMPARE(settings.value("SETTINGS-Left").toString(), QString("2400"));
        QCOMPARE(settings.value("BD_CHATSLATE_SHARE").toString(), QString("/srv/chat"));
        // One of the copies closed last; its whole position is what stays.
        QVERIFY2(leftValues.contains(settings.value("MAIN-Left").toString()),
                 qPrintable(settings.value("MAIN-Left").toString()));
    }
}

QTEST_GUILESS_MAIN(SharedSettingsTest)
#include "tst_shared_settings.moc"

#include "fakes/memory_settings_store.h"
#include "platform/qsettings_store.h"
#include "settings/setting_values.h"
#include "settings/settings.h"
#include "support/settings_folder.h"

#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

class SettingValuesTest : public QObject
{
    Q_OBJECT

private slots:
    void placementText_data();
    void placementText();
    void placementIgnoresUserLocaleWhenWriting();
    void tickText_data();
    void tickText();
    void unreadableValuesReadAsDefaults();
    void qsettingsStoreKeepsTextsAndSections();
};

void SettingValuesTest::placementText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<float>("value");
    QTest::newRow("whole") << "1000" << true << 1000.0f;
    QTest::newRow("negative") << "-120" << true << -120.0f;
    QTest::newRow("fraction") << "1000.5" << true << 1000.5f;
    QTest::newRow("blanks around") << " 15 " << true << 15.0f;
    QTest::newRow("empty") << "" << false << 0.0f;
    QTest::newRow("words") << "left" << false << 0.0f;
    QTest::newRow("not a number") << "nan" << false << 0.0f;
    QTest::newRow("infinite") << "inf" << false << 0.0f;
    QTest::newRow("beyond any screen") << "1e12" << false << 0.0f;
}

void SettingValuesTest::placementText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(float, value);
    const std::optional<float> parsed = SettingValues::parsePlacement(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, value);
}

void SettingValuesTest::placementIgnoresUserLocaleWhenWriting()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(SettingValues::formatPlacement(1000), QStringLiteral("1000"));
    QCOMPARE(SettingValues::formatPlacement(-120), QStringLiteral("-120"));
    QCOMPARE(SettingValues::formatPlacement(123456), QStringLiteral("123456"));
    QCOMPARE(SettingValues::formatPlacement(1000.5f), QStringLiteral("1000.5"));
    QCOMPARE(SettingValues::formatPlacement(std::numeric_limits<float>::infinity()), QStringLiteral("inf"));
    QCOMPARE(SettingValues::formatPlacement(-0x1p63f), QStringLiteral("-9.22337204e+18"));
    QCOMPARE(SettingValues::parsePlacement(QStringLiteral("1000.5")), std::optional<float>(1000.5f));
    QLocale::setDefault(previous);
}

void SettingValuesTest::tickText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state"); // -1: does not convert
    QTest::newRow("unticked") << "0" << 0;
    QTest::newRow("ticked") << "1" << 1;
    QTest::newRow("greyed") << "2" << 2;
    QTest::newRow("out of range") << "3" << -1;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("beyond 16 bits") << "65537" << -1;
    QTest::newRow("fraction") << "1.5" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("text") << "yes" << -1;
}

void SettingValuesTest::tickText()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    const std::optional<short> parsed = SettingValues::parseTick(text);
    QCOMPARE(parsed.has_value(), state >= 0);
    if (state >= 0) {
        QCOMPARE(int(*parsed), state);
        QCOMPARE(SettingValues::formatTick(*parsed), text);
    }
}

void SettingValuesTest::unreadableValuesReadAsDefaults()
{
    MemorySettingsStore store;
    store.values() = {{QStringLiteral("MAIN-Left"), QStringLiteral("abc")},
                      {QStringLiteral("MAIN-Top"), QStringLiteral("-120")},
                      {QStringLiteral("MAIN-Width"), QStringLiteral("0")},
                      {QStringLiteral("MAIN-Height"), QStringLiteral("-5")},
                      {QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("7")}};
    Settings settings(store);
    const Settings::Placement placement = settings.readPlacement(SettingsKeys::mainWindow);
    QCOMPARE(placement.left, 1000.0f);
    QCOMPARE(placement.top, -120.0f);
    QCOMPARE(placement.width, 10920.0f);
    QCOMPARE(placement.height, 5340.0f);
    QCOMPARE(settings.readTick(SettingsKeys::autoRefresh, 0), short(0));
    QCOMPARE(settings.readTick(SettingsKeys::alwaysOnTop, 1), short(1));
}

void SettingValuesTest::qsettingsStoreKeepsTextsAndSections()
{
    QTemporaryDir config;
    QVERIFY(config.isValid());
    SettingsFolder::use(config.path());
    {
        QSettingsStore store(QStringLiteral("BD-CHATSLATE"));
        QCOMPARE(store.read(QStringLiteral("BD_CHATSLATE_SHARE"), QString()), QString());
        QCOMPARE(store.read(QStringLiteral("MAIN-Left"), QStringLiteral("1000")), QStringLiteral("1000"));
        store.save(QStringLiteral("BD_CHATSLATE_SHARE"), QStringLiteral("\\\\SERVER\\Share  "));
        store.save(QStringLiteral("MAIN-Left"), QStringLiteral("-120"));
        QCOMPARE(store.read(QStringLiteral("BD_CHATSLATE_SHARE"), QString()),
                 QStringLiteral("\\\\SERVER\\Share  "));
        QSettingsStore renamedCopy(QStringLiteral("OTHER-NAME"));
        QCOMPARE(renamedCopy.read(QStringLiteral("MAIN-Left"), QStringLiteral("1000")),
                 QStringLiteral("1000"));
    }
    // Keys sit at the top level of the INI file the README names.
    QSettings file(SettingsFolder::file(config.path()), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("MAIN-Left")).toString(), QStringLiteral("-120"));
    QCOMPARE(file.value(QStringLiteral("BD_CHATSLATE_SHARE")).toString(),
             QStringLiteral("\\\\SERVER\\Share  "));

    QCOMPARE(QSettingsStore::sectionForProgram("/usr/bin/BD-CHATSLATE"), QStringLiteral("BD-CHATSLATE"));
    QCOMPARE(QSettingsStore::sectionForProgram("./chat.copy.exe"), QStringLiteral("chat.copy"));
}

QTEST_GUILESS_MAIN(SettingValuesTest)
#include "tst_setting_values.moc"

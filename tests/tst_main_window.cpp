#include "livelog/status_texts.h"
#include "support/main_window_fixture.h"
#include "windows/common/interval_timer.h"
#include "windows/common/tick_box.h"
#include "windows/main/live_view.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void loadOutcomes_data();
    void loadOutcomes();
};

void MainWindowTest::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void MainWindowTest::loadOutcomes_data()
{
    QTest::addColumn<QString>("share");
    QTest::addColumn<QString>("storedAutoRefresh");  // empty: no key
    QTest::addColumn<QString>("status");
    QTest::addColumn<short>("autoRefreshValue");
    QTest::addColumn<bool>("autoRefreshEnabled");
    QTest::addColumn<bool>("postEnabled");
    QTest::addColumn<bool>("refreshEnabled");
    QTest::addColumn<bool>("settingsEnabled");
    QTest::addColumn<bool>("ownTextEditable");
    QTest::addColumn<bool>("timerRunning");

    const QString folder = QStringLiteral("<folder>");
    QTest::newRow("first start") << QString() << QString() << StatusText::configure << short(0) << false << false
                                 << false << true << false << false;
    QTest::newRow("no share, stored on") << QString() << "1" << StatusText::configure << short(0) << false << false
                                         << false << true << false << false;
    QTest::newRow("share, off") << folder << "0" << StatusText::autoRefreshDisabled << short(0) << true << false
                                << false << true << false << false;
    QTest::newRow("share, on") << folder << "1" << StatusText::loading << short(1) << true << true << true << false
                               << true << true;
    QTest::newRow("share, greyed") << folder << "2" << StatusText::autoRefreshDisabled << short(2) << true << false
                                   << false << true << false << false;
    QTest::newRow("share, unreadable value") << folder << "x" << StatusText::autoRefreshDisabled << short(0) << true
                                             << false << false << true << false << false;
    QTest::newRow("blank share counts") << "  " << "1" << StatusText::loading << short(1) << true << true << true
                                        << false << true << true;
}

void MainWindowTest::loadOutcomes()
{
    QFETCH(QString, share);
    QFETCH(QString, storedAutoRefresh);
    MainWindowFixture fixture;
    if (!share.isEmpty())
        fixture.storeShare(share == QStringLiteral("<folder>") ? fixture.share() : share);
    if (!storedAutoRefresh.isEmpty())
        fixture.settingsStore.values().insert(QStringLiteral("AUTO_REFRESH_TICKBOX"), storedAutoRefresh);
    fixture.open();

    QTEST(fixture.liveText(), "status");
    QTEST(fixture.autoRefresh()->value(), "autoRefreshValue");
    QTEST(fixture.autoRefresh()->isEnabled(), "autoRefreshEnabled");
    QTEST(fixture.postButton()->isEnabled(), "postEnabled");
    QTEST(fixture.refreshButton()->isEnabled(), "refreshEnabled");
    QTEST(fixture.settingsButton()->isEnabled(), "settingsEnabled");
    QTEST(!fixture.ownText()->isReadOnly(), "ownTextEditable");
    QTEST(fixture.refreshTimer()->isRunning(), "timerRunning");
    QCOMPARE(fixture.refreshTimer()->interval(), 3000);
    QCOMPARE(fixture.alwaysOnTop()->value(), short(1));
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"

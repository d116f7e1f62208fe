#include "livelog/this_workstation.h"
#include "session/file_worker.h"
#include "session/interval_timer.h"
#include "support/background_jobs.h"
#include "support/main_window_fixture.h"
#include "support/platform_texts.h"
#include "windows/common/tick_box.h"
#include "windows/main/live_view.h"
#include "windows/main/status_texts.h"
#include "windows/settings/settings_window.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWaitCondition>

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void loadOutcomes_data();
    void loadOutcomes();
    void autoRefreshSwitch();
    void refreshTimersNeverRunWithoutInterval();
    void refreshTickShowsLogAndRecovers();
    void unchangedLogLeavesViewAlone();
    void refreshButton();
    void deadShareDoesNotFreezeTheWindow();
    void refreshUnderWayIsReadAgainAfterTheSettings();
    void postWaitsOffTheWindowsThread();
    void postWritesExactBytes();
    void doubleClickPostsOnce();
    void postKeepsTextAsTyped();
    void failedPostKeepsEverything_data();
    void failedPostKeepsEverything();
    void unencodableTextAsksFirst();
    void logIsNeverMarkup();
    void closeSequence();
    void closeSequenceRunsOnce();
    void placement();
    void keyboard();
    void keyboardPostLeavesOtherControlsAlone_data();
    void keyboardPostLeavesOtherControlsAlone();
    void creatorLabel();

private:
    static void clickRefresh(MainWindowFixture& fixture);
    static void typeOwnText(MainWindowFixture& fixture, const QString& text);
};

void MainWindowTest::clickRefresh(MainWindowFixture& fixture)
{
    QVERIFY(fixture.refreshButton()->isEnabled());
    QTest::mouseClick(fixture.refreshButton(), Qt::LeftButton);
    QCOMPARE(fixture.liveText(), StatusText::refreshing);
    // A tick's read may end first.
    while (fixture.liveText() == StatusText::refreshing && !QTest::currentTestFailed())
        fixture.waitForRead();
}

void MainWindowTest::typeOwnText(MainWindowFixture& fixture, const QString& text)
{
    QVERIFY(!fixture.ownText()->isReadOnly());
    fixture.ownText()->setFocus();
    QTest::keyClicks(fixture.ownText(), text);
}

void MainWindowTest::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void MainWindowTest::loadOutcomes_data()
{
    QTest::addColumn<QString>("share");
    QTest::addColumn<QString>("storedAutoRefresh"); // empty: no key
    QTest::addColumn<QString>("status");
    QTest::addColumn<short>("autoRefreshValue");
    QTest::addColumn<bool>("autoRefreshEnabled");
    QTest::addColumn<bool>("postEnabled");
    QTest::addColumn<bool>("refreshEnabled");
    QTest::addColumn<bool>("settingsEnabled");
    QTest::addColumn<bool>("ownTextEditable");
    QTest::addColumn<bool>("timerRunning");

    const QString folder = QStringLiteral("<folder>");
    QTest::newRow("first start") << QString() << QString() << StatusText::configure << short(0) << false
                                 << false << false << true << false << false;
    QTest::newRow("no share, stored on") << QString() << "1" << StatusText::configure << short(0) << false
                                         << false << false << true << false << false;
    QTest::newRow("share, off") << folder << "0" << StatusText::autoRefreshDisabled << short(0) << true
                                << false << false << true << false << false;
    QTest::newRow("share, on") << folder << "1" << StatusText::loading << short(1) << true << true << true
                               << false << true << true;
    QTest::newRow("share, greyed") << folder << "2" << StatusText::autoRefreshDisabled << short(2) << true
                                   << false << false << true << false << false;
    QTest::newRow("share, unreadable value") << folder << "x" << StatusText::autoRefreshDisabled << short(0)
                                             << true << false << false << true << false << false;
    QTest::newRow("blank share counts")
        << "  "
        << "1" << StatusText::loading << short(1) << true << true << true << false << true << true;
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
    QCOMPARE(fixture.alwaysOnTop()->value(), short(1));

    // The next start begins from the tick as the load left it.
    const short tick = fixture.autoRefresh()->value();
    fixture.close();
    QCOMPARE(fixture.settingsStore.values().value(QStringLiteral("AUTO_REFRESH_TICKBOX")),
             QString::number(tick));
}

void MainWindowTest::autoRefreshSwitch()
{
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.writeLog("first \r\n \r\n\r\n\r\n");
    fixture.open();
    QVERIFY(!fixture.refreshButton()->isEnabled());

    // Off (entered by load) -> on: the first read comes one period later, not at once.
    QTest::mouseClick(fixture.autoRefresh(), Qt::LeftButton);
    QCOMPARE(fixture.autoRefresh()->value(), short(1));
    QCOMPARE(fixture.liveText(), StatusText::autoRefreshEnabled);
    QVERIFY(fixture.refreshTimer()->isRunning());
    QVERIFY(fixture.postButton()->isEnabled());
    QVERIFY(fixture.refreshButton()->isEnabled());
    QVERIFY(!fixture.settingsButton()->isEnabled());
    QVERIFY(!fixture.ownText()->isReadOnly());
    QCOMPARE(fixture.files.reads(), 0);

    fixture.waitForTick();
    QCOMPARE(fixture.liveView()->shownLog(), std::optional<QByteArray>("first \r\n \r\n\r\n\r\n"));
    typeOwnText(fixture, QStringLiteral("draft"));

    // On -> off (entered by unticking): the last log and the own text stay, Refresh stays usable.
    QTest::mouseClick(fixture.autoRefresh(), Qt::LeftButton);
    QCOMPARE(fixture.autoRefresh()->value(), short(0));
    QVERIFY(!fixture.refreshTimer()->isRunning());
    QVERIFY(!fixture.postButton()->isEnabled());
    QVERIFY(fixture.refreshButton()->isEnabled());
    QVERIFY(fixture.settingsButton()->isEnabled());
    QVERIFY(fixture.ownText()->isReadOnly());
    QCOMPARE(fixture.ownText()->toPlainText(), QStringLiteral("draft"));
    QVERIFY(fixture.liveView()->shownLog().has_value());

    // A greyed box goes to ticked on a click, never the other way round.
    fixture.autoRefresh()->setValue(2);
    QTest::mouseClick(fixture.autoRefresh(), Qt::LeftButton);
    QCOMPARE(fixture.autoRefresh()->value(), short(1));
    QTest::mouseClick(fixture.autoRefresh(), Qt::LeftButton);
    QCOMPARE(fixture.autoRefresh()->value(), short(0));
}

void MainWindowTest::refreshTimersNeverRunWithoutInterval()
{
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.settingsStore.values().insert(QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("1"));
    fixture.open();
    auto* monitor = fixture.window()->findChild<IntervalTimer*>(QStringLiteral("REFRESH_TIMER_MONITOR"));
    QVERIFY(monitor);
    // The switch ran during the load and enabled both timers before the refresh timer had an interval.
    QVERIFY(monitor->isEnabled());
    QCOMPARE(monitor->interval(), 0);
    QVERIFY(!monitor->isRunning());
    QVERIFY(fixture.refreshTimer()->isRunning());

    IntervalTimer timer(QStringLiteral("probe"), nullptr);
    int ticks = 0;
    connect(&timer, &IntervalTimer::tick, &timer, [&ticks] { ++ticks; });
    timer.setEnabled(true);
    QVERIFY(!timer.isRunning());
    QCoreApplication::processEvents();
    QCOMPARE(ticks, 0);
    timer.setInterval(1);
    QVERIFY(timer.isRunning());
    timer.setEnabled(false);
    QVERIFY(!timer.isRunning());
}

void MainWindowTest::refreshTickShowsLogAndRecovers()
{
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.settingsStore.values().insert(QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("1"));
    fixture.open();
    QCOMPARE(fixture.liveText(), StatusText::loading);

    // No log yet: the view says so and how to create it; no dialog every three seconds.
    fixture.waitForTick();
    QVERIFY(fixture.liveText().startsWith(QStringLiteral("BD-ChatSlate - Live Log - Cannot read ")));
    QVERIFY(fixture.liveText().contains(fixture.logPath()));
    QVERIFY(fixture.liveText().contains(QStringLiteral("\"Clear Live Log\"")));
    // Path, reason and advice are all in sight without scrolling sideways.
    QCOMPARE(fixture.liveView()->horizontalScrollBar()->maximum(), 0);
    QVERIFY(fixture.messages.errors().isEmpty());
    QVERIFY(fixture.refreshTimer()->isRunning());

    fixture.writeLog("hello \r\n \r\n\r\n\r\n");
    fixture.waitForTick();
    QCOMPARE(fixture.liveText(), QStringLiteral("hello \n \n\n\n"));

    fixture.files.failReads(QStringLiteral("Cannot read %1: the network path was not found"));
    fixture.waitForTick();
    QVERIFY(fixture.liveText().contains(QStringLiteral("the network path was not found")));
    fixture.files.failReads({});
    fixture.waitForTick();
    QCOMPARE(fixture.liveView()->shownLog(), std::optional<QByteArray>("hello \r\n \r\n\r\n\r\n"));
}

void MainWindowTest::unchangedLogLeavesViewAlone()
{
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.settingsStore.values().insert(QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("1"));
    QByteArray log;
    for (int line = 0; line < 200; ++line)
        log += "entry " + QByteArray::number(line) + " \r\n \r\n";
    fixture.writeLog(log);
    fixture.open();
    fixture.waitForTick();

    QScrollBar* scrollBar = fixture.liveView()->verticalScrollBar();
    scrollBar->setValue(scrollBar->maximum() / 2);
    fixture.liveView()->setSelection({0, 2}, {4, 3});
    const QString selected = QStringLiteral("try 0 \n \nentry 1 \n \nent");
    const int scrolled = scrollBar->value();
    QVERIFY(scrolled > 0);

    fixture.waitForTick();
    QCOMPARE(scrollBar->value(), scrolled);
    QCOMPARE(fixture.liveView()->selectedText(), selected);

    // Posts in front keep the lines the user reads in place, and the selection on its text.
    fixture.writeLog("newest \r\n \r\n" + log + "\r\n");
    fixture.waitForTick();
    QCOMPARE(scrollBar->value(), scrolled + 2);
    QCOMPARE(fixture.liveView()->selectedText(), selected);
    QVERIFY(fixture.liveText().startsWith(QStringLiteral("newest")));

    // A log rewritten otherwise goes back to the top, where the newest entry stands, without selection.
    fixture.writeLog("rewritten " + log);
    fixture.waitForTick();
    QCOMPARE(scrollBar->value(), 0);
    QVERIFY(!fixture.liveView()->hasSelection());
    QVERIFY(fixture.liveText().startsWith(QStringLiteral("rewritten")));

    // After a status text, the same log must come back.
    QTest::mouseClick(fixture.autoRefresh(), Qt::LeftButton);
    QTest::mouseClick(fixture.autoRefresh(), Qt::LeftButton);
    QCOMPARE(fixture.liveText(), StatusText::autoRefreshEnabled);
    fixture.waitForTick();
    QVERIFY(fixture.liveText().startsWith(QStringLiteral("rewritten")));
}

void MainWindowTest::refreshButton()
{
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.settingsStore.values().insert(QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("1"));
    fixture.open();

    clickRefresh(fixture);
    QCOMPARE(fixture.messages.errors().size(), 1);
    QVERIFY(fixture.messages.errors().first().contains(fixture.logPath()));
    QVERIFY(fixture.liveText().contains(fixture.logPath()));
    // The timer is back after the message, and the program goes on.
    QVERIFY(fixture.refreshTimer()->isRunning());

    fixture.writeLog("log \r\n \r\n\r\n\r\n");
    clickRefresh(fixture);
    QCOMPARE(fixture.liveView()->shownLog(), std::optional<QByteArray>("log \r\n \r\n\r\n\r\n"));
    QCOMPARE(fixture.messages.errors().size(), 1);
}

namespace {

// A share that does not answer until the test lets it.
class HangingFileAccess final : public FaultInjectingFileAccess
{
public:
    FileReadResult readAll(const QString&) override
    {
        entered.release();
        answer.acquire();
        return {"late \r\n \r\n\r\n\r\n", {}};
    }

    QSemaphore entered, answer;
};

// A share whose reads do not return while it is stuck, as on a hung network mount.
class StuckShare final : public FaultInjectingFileAccess
{
public:
    FileReadResult readAll(const QString& path) override
    {
        QMutexLocker locker(&m_stuckMutex);
        ++m_inside;
        while (m_stuck)
            m_answering.wait(&m_stuckMutex);
        locker.unlock();
        FileReadResult result = FaultInjectingFileAccess::readAll(path);
        locker.relock();
        --m_inside;
        return result;
    }
    void setStuck(bool stuck)
    {
        QMutexLocker locker(&m_stuckMutex);
        m_stuck = stuck;
        m_answering.wakeAll();
    }
    int readsUnderWay()
    {
        QMutexLocker locker(&m_stuckMutex);
        return m_inside;
    }

private:
    QMutex m_stuckMutex;
    QWaitCondition m_answering;
    bool m_stuck = false;
    int m_inside = 0;
};

} // namespace

void MainWindowTest::deadShareDoesNotFreezeTheWindow()
{
    MemorySettingsStore store;
    store.values().insert("BD_CHATSLATE_SHARE", "/hanging");
    store.values().insert("AUTO_REFRESH_TICKBOX", "1");
    const auto sharedFiles = std::make_shared<HangingFileAccess>();
    HangingFileAccess& files = *sharedFiles;
    RecordingReporter messages;
    {
        MainWindow window({store, sharedFiles, LiveLog::thisWorkstation(), messages},
                          MainWindowFixture::refreshInterval);
        window.show();
        auto* timer = window.findChild<IntervalTimer*>("MAIN_TEXT_REFRESH_TIMER");
        auto* autoRefresh = window.findChild<TickBox*>("AUTO_REFRESH_TICKBOX");
        timer->fire();
        QVERIFY(files.entered.tryAcquire(1, 5000));

        // The read hangs, and the window still takes the user's clicks.
        QTest::mouseClick(autoRefresh, Qt::LeftButton);
        QCOMPARE(autoRefresh->value(), short(0));
        QVERIFY(window.findChild<QPushButton*>("REFRESH_BUTTON")->isEnabled());

        // The answer that finally comes belongs to a state the user has left: it changes nothing.
        QSignalSpy readEnded(window.findChild<FileWorker*>(), &FileWorker::readEnded);
        files.answer.release();
        QVERIFY(readEnded.wait(5000));
        QCOMPARE(window.findChild<LiveView*>("BD_CHATSLATE_LIVE_TEXTBOX")->toPlainText(),
                 StatusText::loading);
        QVERIFY(!timer->isRunning());
        window.close();
    }
}

namespace {

// A share whose lock file takes until the test lets it: the post waits inside the file call.
class HangingLockFileAccess final : public FaultInjectingFileAccess
{
public:
    FileError createWhole(const QString& path, const QByteArray& bytes, const QString& scratch) override
    {
        entered.release();
        answer.acquire();
        return FaultInjectingFileAccess::createWhole(path, bytes, scratch);
    }

    QSemaphore entered, answer;
};

} // namespace

void MainWindowTest::postWaitsOffTheWindowsThread()
{
    QTemporaryDir share;
    const QString logPath = share.filePath("CHATSLATE-LIVE.LOG");
    MemorySettingsStore store;
    store.values().insert("BD_CHATSLATE_SHARE", share.path());
    store.values().insert("AUTO_REFRESH_TICKBOX", "1");
    const auto sharedFiles = std::make_shared<HangingLockFileAccess>();
    HangingLockFileAccess& files = *sharedFiles;
    QVERIFY(!files.writeAll(logPath, "\r\n", FileAccess::Create::replacingContent).failed());
    RecordingReporter messages;
    auto window = std::make_unique<MainWindow>(
        ProgramServices{store, sharedFiles, LiveLog::thisWorkstation(), messages},
        MainWindowFixture::refreshInterval);
    window->show();
    auto* post = window->findChild<QPushButton*>("CHATSLATE_BUTTON");
    auto* autoRefresh = window->findChild<TickBox*>("AUTO_REFRESH_TICKBOX");
    auto* ownText = window->findChild<QPlainTextEdit*>("BD_CHATSLATE_MY_TEXT_TEXTBOX");
    ownText->setPlainText("first");
    QTest::mouseClick(post, Qt::LeftButton);
    QVERIFY(files.entered.tryAcquire(1, 5000));

    // The window answers meanwhile, but nothing in it starts other work or changes the text being posted.
    for (const char* name : {"CHATSLATE_BUTTON", "AUTO_REFRESH_TICKBOX", "REFRESH_BUTTON", "SETTINGS_BUTTON"})
        QVERIFY2(!window->findChild<QWidget*>(name)->isEnabled(), name);
    QVERIFY(ownText->isReadOnly());
    QTest::mouseClick(autoRefresh, Qt::LeftButton);
    QCOMPARE(autoRefresh->value(), short(1));
    // The user turns to the log meanwhile: the focus stays there when the post ends.
    auto* liveView = window->findChild<LiveView*>("BD_CHATSLATE_LIVE_TEXTBOX");
    liveView->setFocus(Qt::MouseFocusReason);

    files.answer.release();
    waitForBackgroundJobs(window.get());
    QCOMPARE(window->focusWidget(), liveView);
    QCOMPARE(files.readAll(logPath).bytes, QByteArray("first \r\n \r\n\r\n\r\n"));
    QVERIFY(ownText->toPlainText().isEmpty());
    QVERIFY(post->isEnabled() && !ownText->isReadOnly());
    QVERIFY(messages.errors().isEmpty());

    // Closed while its post waits on the share, the window stays until the post has ended: should it fail,
    // the user reads why with the text still in its field.
    ownText->setPlainText("second");
    QTest::mouseClick(post, Qt::LeftButton);
    QVERIFY(files.entered.tryAcquire(1, 5000));
    window->close();
    QVERIFY(window->isVisible());
    files.failWrites("Cannot write %1: the share refused it");
    files.answer.release();
    waitForBackgroundJobs(window.get());
    QVERIFY(window->isVisible());
    QCOMPARE(messages.errors().size(), 1);
    QCOMPARE(ownText->toPlainText(), QStringLiteral("second"));

    // Once one succeeds, the window closes. It is never left holding the lock.
    files.failWrites({});
    QTest::mouseClick(post, Qt::LeftButton);
    QVERIFY(files.entered.tryAcquire(1, 5000));
    window->close();
    files.answer.release();
    waitForBackgroundJobs(window.get());
    QVERIFY(!window->isVisible());
    QCOMPARE(files.readAll(logPath).bytes, QByteArray("second \r\n \r\nfirst \r\n \r\n\r\n\r\n\r\n"));
    QVERIFY(!QFile::exists(logPath + ".LOCK"));
}

// The settings window may clear the log, so a Refresh read under way when it opens is read again once it
// has closed, rather than leave the view saying it is refreshing.
void MainWindowTest::refreshUnderWayIsReadAgainAfterTheSettings()
{
    QTemporaryDir share;
    MemorySettingsStore store;
    store.values().insert("BD_CHATSLATE_SHARE", share.path());
    store.values().insert("AUTO_REFRESH_TICKBOX", "1");
    const auto sharedFiles = std::make_shared<StuckShare>();
    StuckShare& files = *sharedFiles;
    RecordingReporter messages;
    MainWindow window({store, sharedFiles, LiveLog::thisWorkstation(), messages},
                      MainWindowFixture::refreshInterval);
    window.show();
    QTest::mouseClick(window.findChild<TickBox*>("AUTO_REFRESH_TICKBOX"), Qt::LeftButton);
    files.setStuck(true);
    QTest::mouseClick(window.findChild<QPushButton*>("REFRESH_BUTTON"), Qt::LeftButton);
    QTRY_VERIFY(files.readsUnderWay() > 0);

    // Meanwhile the log is created, as a clear in the settings window would.
    QTimer::singleShot(0, &window, [&] {
        QFile log(share.filePath("CHATSLATE-LIVE.LOG"));
        QVERIFY(log.open(QIODevice::WriteOnly) && log.write("\r\n") == 2);
        log.close();
        files.setStuck(false);
        window.findChild<SettingsWindow*>()->reject();
    });
    QSignalSpy readEnded(window.findChild<FileWorker*>(), &FileWorker::readEnded);
    QTest::mouseClick(window.findChild<QPushButton*>("SETTINGS_BUTTON"), Qt::LeftButton);
    auto* view = window.findChild<LiveView*>("BD_CHATSLATE_LIVE_TEXTBOX");
    // The read dropped at the opening ends too.
    while (!view->shownLog() || files.readsUnderWay() > 0)
        QVERIFY(readEnded.wait(5000));
    QCOMPARE(view->shownLog(), std::optional<QByteArray>("\r\n"));
    QVERIFY(messages.errors().isEmpty());
}

void MainWindowTest::postWritesExactBytes()
{
    MainWindowFixture fixture;
    fixture.openAutoRefreshing("\r\n");

    typeOwnText(fixture, QStringLiteral("hello"));
    fixture.clickPost();
    QCOMPARE(fixture.readLog(), QByteArray("hello \r\n \r\n\r\n\r\n"));
    // The view shows the log as read before the post; the own text is gone; posting is possible again.
    QCOMPARE(fixture.liveView()->shownLog(), std::optional<QByteArray>("\r\n"));
    QVERIFY(fixture.ownText()->toPlainText().isEmpty());
    QVERIFY(fixture.postButton()->isEnabled());
    QVERIFY(fixture.refreshTimer()->isRunning());

    // The post composes from the file, not from the view, which now shows a status text.
    clickRefresh(fixture);
    QTest::mouseClick(fixture.autoRefresh(), Qt::LeftButton);
    QTest::mouseClick(fixture.autoRefresh(), Qt::LeftButton);
    QCOMPARE(fixture.liveText(), StatusText::autoRefreshEnabled);
    typeOwnText(fixture, QStringLiteral("hi"));
    fixture.clickPost();
    QCOMPARE(fixture.readLog(), QByteArray("hi \r\n \r\nhello \r\n \r\n\r\n\r\n\r\n"));

    fixture.clickPost();
    QCOMPARE(fixture.readLog().left(9), QByteArray(" \r\n \r\nhi "));
}

// Clicks as the window system delivers them: the second press of a double click comes with its double
// click, and each event carries the window system's time.
void MainWindowTest::doubleClickPostsOnce()
{
    MainWindowFixture fixture;
    fixture.openAutoRefreshing("\r\n");
    typeOwnText(fixture, QStringLiteral("hello"));
    QPushButton* post = fixture.postButton();
    const auto click = [&](quint64 pressedAt, bool secondOfDouble) {
        const auto send = [&](QEvent::Type type, quint64 time, Qt::MouseButtons held) {
            QMouseEvent event(type, QPointF(5, 5), post->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, held,
                              Qt::NoModifier);
            event.setTimestamp(time);
            QApplication::sendEvent(post, &event);
        };
        send(QEvent::MouseButtonPress, pressedAt, Qt::LeftButton);
        if (secondOfDouble)
            send(QEvent::MouseButtonDblClick, pressedAt, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, pressedAt + 40, Qt::NoButton);
        waitForBackgroundJobs(fixture.window());
    };
    const quint64 interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    quint64 time = 1000000;
    click(time, false);
    click(time += 120, true);
    // Ten quick clicks in a row are one click too.
    for (int i = 0; i < 10; ++i)
        click(time += interval / 2, false);
    QCOMPARE(fixture.readLog(), QByteArray("hello \r\n \r\n\r\n\r\n"));

    // A click of its own posts, the empty text too.
    click(time += interval + 1, false);
    QCOMPARE(fixture.readLog(), QByteArray(" \r\n \r\nhello \r\n \r\n\r\n\r\n\r\n"));
}

void MainWindowTest::postKeepsTextAsTyped()
{
    MainWindowFixture fixture;
    fixture.openAutoRefreshing("\r\n");

    typeOwnText(fixture, QStringLiteral("a"));
    QTest::keyClick(fixture.ownText(), Qt::Key_Return);
    QTest::keyClicks(fixture.ownText(), QString(QStringLiteral("b") + QChar(0xA0) + QStringLiteral("c ")));
    fixture.clickPost();
    QCOMPARE(fixture.readLog(), QByteArray("a\r\nb\xa0"
                                           "c  \r\n \r\n\r\n\r\n"));
}

void MainWindowTest::failedPostKeepsEverything_data()
{
    QTest::addColumn<bool>("readFails");
    QTest::newRow("read fails") << true;
    QTest::newRow("write fails") << false;
}

void MainWindowTest::failedPostKeepsEverything()
{
    QFETCH(bool, readFails);
    MainWindowFixture fixture;
    fixture.openAutoRefreshing("old \r\n \r\n\r\n\r\n");
    typeOwnText(fixture, QStringLiteral("precious"));
    if (readFails)
        fixture.files.failReads(QStringLiteral("Cannot read %1: access denied"));
    else
        fixture.files.failWrites(QStringLiteral("Cannot write %1: no space left on device"));

    fixture.clickPost();
    QCOMPARE(fixture.messages.errors().size(), 1);
    QVERIFY(fixture.messages.errors().first().contains(fixture.share()));
    QCOMPARE(fixture.readLog(), QByteArray("old \r\n \r\n\r\n\r\n"));
    QCOMPARE(fixture.ownText()->toPlainText(), QStringLiteral("precious"));
    QVERIFY(fixture.postButton()->isEnabled());
    QVERIFY(fixture.refreshTimer()->isRunning());

    fixture.files.failReads({});
    fixture.files.failWrites({});
    fixture.clickPost();
    QCOMPARE(fixture.readLog(), QByteArray("precious \r\n \r\nold \r\n \r\n\r\n\r\n\r\n"));
}

void MainWindowTest::unencodableTextAsksFirst()
{
    MainWindowFixture fixture;
    fixture.openAutoRefreshing("\r\n");
    const QString text = QString::fromUtf8("caf\u00e9 \u263a");
    typeOwnText(fixture, QStringLiteral("x"));
    fixture.ownText()->setPlainText(text);

    fixture.messages.setAnswer(false);
    fixture.clickPost();
    QCOMPARE(fixture.messages.questions().size(), 1);
    QVERIFY(fixture.messages.questions().first().contains(QChar(0x263A)));
    QCOMPARE(fixture.readLog(), QByteArray("\r\n"));
    QCOMPARE(fixture.ownText()->toPlainText(), text);
    QVERIFY(fixture.postButton()->isEnabled());
    QVERIFY(fixture.refreshTimer()->isRunning());

    fixture.messages.setAnswer(true);
    fixture.clickPost();
    QCOMPARE(fixture.readLog(), QByteArray("caf\xe9 ? \r\n \r\n\r\n\r\n"));

    // Thousands of them: the first few are named, then how many more.
    QString many;
    for (char32_t character = 0x4E00; character < 0x4E00 + 3000; ++character)
        many += QString::fromUcs4(&character, 1);
    fixture.ownText()->setPlainText(many + many);
    fixture.messages.setAnswer(false);
    fixture.clickPost();
    const QString question = fixture.messages.questions().last();
    QVERIFY(question.contains(many.first(20) + QStringLiteral(" and 2980 more")));
    QVERIFY(question.size() < 300);
}

void MainWindowTest::logIsNeverMarkup()
{
    MainWindowFixture fixture;
    fixture.openAutoRefreshing("<b>bold</b> &amp; <img src=x> \r\n");
    fixture.waitForTick();
    QCOMPARE(fixture.liveText(), QStringLiteral("<b>bold</b> &amp; <img src=x> \n"));
}

void MainWindowTest::closeSequence()
{
    MainWindowFixture fixture;
    fixture.storeShare(QStringLiteral("\\\\SERVER\\Share "));
    fixture.settingsStore.values().insert(QStringLiteral("AlwaysOnTopTimer_TICKBOX"), QStringLiteral("2"));
    fixture.settingsStore.values().insert(QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("2"));
    fixture.open();
    // The changed tick has created the compact window, which saves its own keys too.
    QVERIFY(fixture.window()->hasCompactWindow());
    fixture.settingsStore.values().clear();

    QTest::mouseClick(fixture.control<QPushButton>("EXIT_BUTTON"), Qt::LeftButton);
    const QMap<QString, QString> saved = fixture.settingsStore.values();
    QCOMPARE(saved.keys(),
             QStringList({"AUTO_REFRESH_TICKBOX", "AlwaysOnTopTimer_TICKBOX", "BD_CHATSLATE_SHARE",
                          "MAIN-Left", "MAIN-Top", "MINI-MAIN-Left", "MINI-MAIN-Top"}));
    QCOMPARE(saved.value("MAIN-Left"), QStringLiteral("1000"));
    QCOMPARE(saved.value("MAIN-Top"), QStringLiteral("1000"));
    // The main window's value, not the compact window's 0: the main window saves last.
    QCOMPARE(saved.value("AlwaysOnTopTimer_TICKBOX"), QStringLiteral("2"));
    QCOMPARE(saved.value("AUTO_REFRESH_TICKBOX"), QStringLiteral("2"));
    QCOMPARE(saved.value("BD_CHATSLATE_SHARE"), QStringLiteral("\\\\SERVER\\Share "));
    QVERIFY(!fixture.window()->isVisible());
    fixture.close();
}

void MainWindowTest::closeSequenceRunsOnce()
{
    MainWindowFixture fixture;
    fixture.open();
    fixture.window()->close();
    fixture.window()->runCloseSequence();
    QCOMPARE(fixture.settingsStore.accesses().filter(QStringLiteral("save MAIN-Left")).size(), 1);
    fixture.close();
}

void MainWindowTest::placement()
{
    {
        MainWindowFixture fixture;
        fixture.settingsStore.values().insert("MAIN-Left", "3000");
        fixture.settingsStore.values().insert("MAIN-Top", "1,500");
        fixture.open();
        QCOMPARE(fixture.window()->pos(), QPoint(200, 100));
        QCOMPARE(fixture.window()->frameGeometry().size(), QSize(728, 356));
        QCOMPARE(fixture.window()->minimumSize(), fixture.window()->maximumSize());
        QVERIFY(!(fixture.window()->windowFlags() & Qt::WindowMaximizeButtonHint));
        fixture.window()->move(300, 150);
        fixture.close();
        QCOMPARE(fixture.settingsStore.values().value("MAIN-Left"), QStringLiteral("4500"));
        QCOMPARE(fixture.settingsStore.values().value("MAIN-Top"), QStringLiteral("2250"));
    }
    {
        // Entirely off every screen: back onto the nearest one.
        MainWindowFixture fixture;
        fixture.settingsStore.values().insert("MAIN-Left", "-90000");
        fixture.settingsStore.values().insert("MAIN-Top", "1000");
        fixture.open();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(screen.intersects(fixture.window()->frameGeometry()));
    }
    {
        MainWindowFixture fixture;
        fixture.settingsStore.values().insert("MAIN-Left", "1e30");
        fixture.settingsStore.values().insert("MAIN-Width", "-1");
        fixture.settingsStore.values().insert("MAIN-Height", "nan");
        fixture.open();
        QCOMPARE(fixture.window()->pos(), QPoint(67, 67));
        QCOMPARE(fixture.window()->frameGeometry().size(), QSize(728, 356));
    }
}

void MainWindowTest::keyboard()
{
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.open();
    QApplication::setActiveWindow(fixture.window());
    auto* exitButton = fixture.control<QPushButton>("EXIT_BUTTON");
    QCOMPARE(QApplication::focusWidget(), exitButton);
    QTest::keyClick(exitButton, Qt::Key_Return);
    QTest::keyClick(exitButton, Qt::Key_Enter);
    QTest::keyClick(exitButton, Qt::Key_Escape);
    QVERIFY(fixture.window()->isVisible());
    QVERIFY(fixture.settingsStore.accesses().filter(QStringLiteral("save")).isEmpty());

    // Tab never reaches the fields of the band below the visible area.
    for (const char* name : {"BD_CHATSLATE_SHARE_TEXTBOX", "COMBINED_TEXT_TEXTBOX", "LINE_END_TEXTBOX",
                             "EMPTY_TEXTBOX", "SLASH_CHATSLATE_LIVE_LOG_FILENAME"})
        QCOMPARE(fixture.control<QWidget>(name)->focusPolicy(), Qt::NoFocus);
    QWidget* visited = exitButton;
    for (int step = 0; step < 12; ++step) {
        visited = visited->nextInFocusChain();
        QVERIFY(visited->geometry().bottom() < 5040 / 15 || visited->focusPolicy() == Qt::NoFocus ||
                !visited->isVisible());
    }
}

void MainWindowTest::keyboardPostLeavesOtherControlsAlone_data()
{
    QTest::addColumn<bool>("fails");
    QTest::newRow("lands") << false;
    QTest::newRow("fails") << true;
}

// Tab to the post button, Space, and Space again: the second goes into the own text, wherever the
// disabled post button sent the focus meanwhile.
void MainWindowTest::keyboardPostLeavesOtherControlsAlone()
{
    QFETCH(bool, fails);
    MainWindowFixture fixture;
    fixture.openAutoRefreshing("\r\n");
    QApplication::setActiveWindow(fixture.window());
    typeOwnText(fixture, QStringLiteral("hello"));
    if (fails)
        fixture.files.failWrites(QStringLiteral("Cannot write %1: no space left on device"));
    QTest::keyClick(fixture.ownText(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), fixture.postButton());
    QTest::keyClick(fixture.postButton(), Qt::Key_Space);
    waitForBackgroundJobs(fixture.window());
    QCOMPARE(fixture.messages.errors().size(), fails ? 1 : 0);

    QCOMPARE(QApplication::focusWidget(), fixture.ownText());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(fixture.alwaysOnTop()->value(), TickBox::ticked);
    QCOMPARE(fixture.ownText()->toPlainText(), fails ? QStringLiteral("hello ") : QStringLiteral(" "));
}

void MainWindowTest::creatorLabel()
{
    MainWindowFixture fixture;
    fixture.open();
    auto* creator = fixture.control<QLabel>("BD_CHATSLATE_CREATOR");
    QCOMPARE(creator->text(), QStringLiteral("Created By Orrivel9"));
    QTest::mouseClick(creator, Qt::LeftButton);
    QVERIFY(creator->text().contains(QLatin1Char('@')));
    const QString address = creator->text();
    QTest::mouseClick(creator, Qt::LeftButton);
    QCOMPARE(creator->text(), address);
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"

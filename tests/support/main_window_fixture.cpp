#include "support/main_window_fixture.h"

#include "livelog/live_log_format.h"
#include "session/file_worker.h"
#include "session/interval_timer.h"
#include "support/background_jobs.h"
#include "support/log_file.h"
#include "support/platform_texts.h"
#include "windows/common/tick_box.h"
#include "windows/main/live_view.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

MainWindowFixture::MainWindowFixture() = default;

MainWindowFixture::~MainWindowFixture()
{
    if (m_window)
        close();
}

QString MainWindowFixture::logPath() const
{
    return PlatformTexts::logPathIn(m_shareDir.path());
}

void MainWindowFixture::writeLog(const QByteArray& bytes) const
{
    writeLogFile(logPath(), bytes);
}

QByteArray MainWindowFixture::readLog() const
{
    return readLogFile(logPath(), {});
}

void MainWindowFixture::storeShare(const QString& share)
{
    settingsStore.values().insert(QStringLiteral("BD_CHATSLATE_SHARE"), share);
}

MainWindow* MainWindowFixture::open()
{
    m_window = std::make_unique<MainWindow>(
        ProgramServices{settingsStore, sharedFiles, workstation, messages, windowOrder}, refreshInterval);
    m_window->show();
    return m_window.get();
}

MainWindow* MainWindowFixture::openAutoRefreshing(const QByteArray& log)
{
    storeShare();
    settingsStore.values().insert(QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("1"));
    writeLog(log);
    return open();
}

void MainWindowFixture::close()
{
    m_window->close();
    m_window.reset();
}

LiveView* MainWindowFixture::liveView() const
{
    return control<LiveView>("BD_CHATSLATE_LIVE_TEXTBOX");
}

QPlainTextEdit* MainWindowFixture::ownText() const
{
    return control<QPlainTextEdit>("BD_CHATSLATE_MY_TEXT_TEXTBOX");
}

TickBox* MainWindowFixture::autoRefresh() const
{
    return control<TickBox>("AUTO_REFRESH_TICKBOX");
}

TickBox* MainWindowFixture::alwaysOnTop() const
{
    return control<TickBox>("AlwaysOnTopTimer_TICKBOX");
}

QPushButton* MainWindowFixture::postButton() const
{
    return control<QPushButton>("CHATSLATE_BUTTON");
}

QPushButton* MainWindowFixture::refreshButton() const
{
    return control<QPushButton>("REFRESH_BUTTON");
}

QPushButton* MainWindowFixture::settingsButton() const
{
    return control<QPushButton>("SETTINGS_BUTTON");
}

IntervalTimer* MainWindowFixture::refreshTimer() const
{
    return m_window->findChild<IntervalTimer*>(QStringLiteral("MAIN_TEXT_REFRESH_TIMER"));
}

QString MainWindowFixture::liveText() const
{
    return liveView()->toPlainText();
}

void MainWindowFixture::clickPost()
{
    QTest::mouseClick(postButton(), Qt::LeftButton);
    waitForBackgroundJobs(m_window.get());
}

// The timer waits while its read is under way and resumes with the result. Fired here rather than
// waited for, so the test does not depend on the timer's pace.
void MainWindowFixture::waitForTick() const
{
    QVERIFY(refreshTimer()->isRunning());
    auto* worker = m_window->findChild<FileWorker*>();
    QSignalSpy ended(worker, &FileWorker::readEnded);
    refreshTimer()->fire();
    QVERIFY(ended.wait(5000));
    QVERIFY(refreshTimer()->isRunning());
}

void MainWindowFixture::waitForRead() const
{
    QSignalSpy ended(m_window->findChild<FileWorker*>(), &FileWorker::readEnded);
    QVERIFY(ended.wait(5000));
}

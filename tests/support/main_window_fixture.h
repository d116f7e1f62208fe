#pragma once

#include "fakes/fault_injecting_file_access.h"
#include "fakes/memory_settings_store.h"
#include "fakes/recording_reporter.h"
#include "fakes/recording_window_order.h"
#include "livelog/this_workstation.h"
#include "windows/main/main_window.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

class IntervalTimer;
class LiveView;
class QPushButton;
class QPlainTextEdit;
class TickBox;

// A real main window on its own temporary share folder, in-memory settings store and recording message
// reporter, refreshing far more often than the program does. Controls are found by their objectNames, as
// a user (or a screen reader) finds them.
class MainWindowFixture
{
public:
    MainWindowFixture();
    ~MainWindowFixture();

    QString share() const { return m_shareDir.path(); }
    QString logPath() const;
    void writeLog(const QByteArray& bytes) const;
    QByteArray readLog() const;

    // Stores the share folder (or the given text) so that the next window loads it.
    void storeShare(const QString& share);
    void storeShare() { storeShare(share()); }

    MainWindow* open();
    // Stores the share folder with auto refresh on, writes the log and opens the window: ready to post.
    MainWindow* openAutoRefreshing(const QByteArray& log);
    MainWindow* window() const { return m_window.get(); }
    // Closes the window the way the title-bar close box does.
    void close();

    template <typename Control> Control* control(const char* name) const
    {
        return m_window->findChild<Control*>(QString::fromLatin1(name));
    }
    LiveView* liveView() const;
    QPlainTextEdit* ownText() const;
    TickBox* autoRefresh() const;
    TickBox* alwaysOnTop() const;
    QPushButton* postButton() const;
    QPushButton* refreshButton() const;
    QPushButton* settingsButton() const;
    IntervalTimer* refreshTimer() const;
    QString liveText() const;
    // Clicks the post button and waits for the post to end.
    void clickPost();

    // Fires the refresh timer and waits until the result of its read is on display.
    void waitForTick() const;
    // Waits until a read under way has ended.
    void waitForRead() const;

    // Quick enough that a test never waits long for a tick, slow enough to leave the window time for
    // anything else.
    static constexpr std::chrono::milliseconds refreshInterval{20};

    MemorySettingsStore settingsStore;
    const std::shared_ptr<FaultInjectingFileAccess> sharedFiles =
        std::make_shared<FaultInjectingFileAccess>();
    FaultInjectingFileAccess& files = *sharedFiles;
    const std::shared_ptr<LiveLog::Workstation> workstation = LiveLog::thisWorkstation();
    RecordingReporter messages;
    RecordingWindowOrder windowOrder;

private:
    QTemporaryDir m_shareDir;
    std::unique_ptr<MainWindow> m_window;
};

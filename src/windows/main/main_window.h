#pragma once

#include "platform/files/file_access.h"
#include "settings/settings.h"
#include "windows/common/program_services.h"

#include <QPointer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>

class BackgroundJob;
class BackgroundReader;
class ClickableLabel;
class CompactWindow;
class FramePlacement;
class IntervalTimer;
class LiveView;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TickBox;
namespace LiveLog {
struct PostResult;
}

// BD_CHATSLATE_MAIN: the live log view, the own text and its post button, and the refresh cycle's
// controls, which one state makes usable or not.
class MainWindow final : public QWidget
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultRefreshInterval{3000};

    // Builds the window in its design state and runs its load sequence; it is not shown yet. Tests may
    // refresh more often than the program does.
    explicit MainWindow(ProgramServices services,
                        std::chrono::milliseconds refreshInterval = defaultRefreshInterval);
    ~MainWindow() override;

    // Runs the close sequence unless it has run already; every way the program ends passes here.
    // The compact window, when there is one, unloads first.
    void runCloseSequence();

    // The program's one compact window, created hidden with its load steps run on first access.
    CompactWindow& compactWindow();
    bool hasCompactWindow() const { return m_compactWindow != nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Which controls can be used. Posting needs auto refresh on, and the settings window needs it off.
    enum class State
    {
        noShare,
        // Entered by the load or a saved location: the first read waits for the switch.
        autoRefreshOff,
        // Entered by unticking the switch: Refresh still reads.
        autoRefreshUnticked,
        autoRefreshOn,
        // A post under way: auto refresh on, but nothing that could start other work or change the text
        // being posted.
        posting,
    };
    // Sets every control the state decides; the live view's text is left to the caller.
    void enter(State state);

    void createControls();
    void createDesignOnlyControls();
    void setTabOrder();
    void load();

    bool hasShareLocation() const;
    QString shareLocation() const;
    QString ownTextAsTyped() const;

    void onAutoRefreshChanged();
    void onRefreshTick();
    void onRefreshClicked();
    void onPostClicked();
    void post();
    void showPostResult(const LiveLog::PostResult& result);
    void endPosting();
    void onCreatorClicked();
    void onSettingsClicked();
    // What the settings window's "Save To Registry" does to this window: the saved location takes
    // effect at once and auto refresh is left off.
    void takeSavedShareLocation(const QString& shareLocation);
    void onAlwaysOnTopChanged();
    // The compact window is the badge of a minimised main window with "Always On Top" ticked.
    void showCompactWindowWhileMinimised();
    void bringBackFromCompactWindow();
    void onCompactWindowClosed(CompactWindow* window);

    // Every change of the refresh timer's state goes through here; it also drops the result of a
    // background read still under way, which the change has made stale.
    void setRefreshTimerEnabled(bool enabled);
    // The refresh timer waits while a background read is under way and resumes with its result.
    void readInBackground(std::function<void(const FileReadResult&)> apply);
    void showTickResult(const FileReadResult& result);

    // A message box runs an event loop: no refresh tick may run inside it.
    void withRefreshPaused(const std::function<void()>& dialog);
    void reportWithRefreshPaused(const QString& message);
    bool askedForLogin(const FileError& error, const std::function<void()>& readAgain);

    ProgramServices m_services;
    Settings m_settings;
    const std::chrono::milliseconds m_refreshInterval;
    State m_state = State::autoRefreshOff;
    FramePlacement* m_placement = nullptr;
    BackgroundReader* m_reader = nullptr;
    // Posts run on a thread of their own: a refresh read stuck on the share never holds one up.
    BackgroundJob* m_poster = nullptr;
    quint64 m_readTicket = 0;
    // The ticket of a Refresh click's read until its result is shown.
    quint64 m_refreshClickTicket = 0;
    bool m_refreshPausedForRead = false;
    bool m_closeSequenceDone = false;
    // The window was asked to close during a post: it closes once the post has succeeded.
    bool m_closeAfterPost = false;
    // Set when the user turned down the login dialog that a refresh tick opened: ticks then stop asking
    // until the user refreshes, posts or saves a share location.
    bool m_loginDeclined = false;
    // Where the focus went when the post began and its button, disabled, let go of it.
    QPointer<QWidget> m_focusWhilePosting;

    ClickableLabel* m_creatorLabel = nullptr;
    LiveView* m_liveView = nullptr;
    QPlainTextEdit* m_ownText = nullptr;
    QPushButton* m_settingsButton = nullptr;
    TickBox* m_alwaysOnTop = nullptr;
    TickBox* m_autoRefresh = nullptr;
    QPushButton* m_refreshButton = nullptr;
    QPushButton* m_postButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QLineEdit* m_shareLocation = nullptr;
    IntervalTimer* m_refreshTimer = nullptr;
    IntervalTimer* m_refreshMonitor = nullptr;

    // Not a child: a child tool window would be minimised and hidden along with this window.
    std::unique_ptr<CompactWindow> m_compactWindow;
};

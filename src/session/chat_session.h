#pragma once

#include "livelog/log_lines.h"
#include "platform/files/file_access.h"

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class FileWorker;
class IntervalTimer;
class SessionPrompts;
namespace LiveLog {
struct PostResult;
class Workstation;
} // namespace LiveLog

// The chat on one share location, without any window: the refresh cycle and its timer, posting, clearing
// and when to ask for a login. The main window shows its state and hands it the user's clicks.
class ChatSession final : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultRefreshInterval{3000};
    // A refresh tick reads the log only when the share reports it changed, but every this many ticks it
    // reads it whole anyway, for a change that leaves size, time and file as they were.
    static constexpr int wholeReadEvery = 10;

    // Which work the user can start. Posting needs auto refresh on, and the settings window needs it off.
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
    Q_ENUM(State)
    enum class Event
    {
        autoRefreshTicked,
        // Unticked or greyed.
        autoRefreshUnticked,
        // The load without a ticked switch, or a location saved in the settings window.
        locationTaken,
        postStarted,
        postEnded,
    };
    Q_ENUM(Event)
    // The one transition function of the refresh cycle.
    static State next(State state, Event event, bool hasShareLocation);

    // What each control of the main window allows in a state.
    struct Usable
    {
        bool autoRefreshSwitch = false;
        bool post = false;
        bool refresh = false;
        bool settings = false;
        bool ownTextEditable = false;

        bool operator==(const Usable&) const = default;
    };
    static Usable usableIn(State state);

    // What the live view shows while it is not showing the log.
    enum class Status
    {
        loading,
        configure,
        autoRefreshDisabled,
        autoRefreshEnabled,
        refreshing,
    };
    Q_ENUM(Status)

    // The workstation goes with each file call to the worker, where a read given up may outlive the session.
    ChatSession(std::shared_ptr<FileAccess> files, std::shared_ptr<LiveLog::Workstation> workstation,
                SessionPrompts& prompts, std::chrono::milliseconds refreshInterval, QObject* parent);
    ~ChatSession() override;

    State state() const { return m_state; }
    QString shareLocation() const { return m_shareLocation; }
    // A location of blanks counts as one.
    bool hasShareLocation() const { return !m_shareLocation.isEmpty(); }
    void setShareLocation(const QString& shareLocation)
    {
        m_shareLocation = shareLocation;
        m_known.reset();
    }
    FileWorker& worker() const { return *m_worker; }

    // The end of the window's load, after the stored tick has run the switch: the timer gets its
    // interval, and the cycle starts in the state the location and the tick decide.
    void finishLoad(bool autoRefreshTicked);
    // The switch changed, by the user or the load.
    void switchAutoRefresh(bool ticked);
    // A location saved in the settings window takes effect at once, with auto refresh off; the window has
    // unticked the switch already.
    void takeSavedShareLocation(const QString& shareLocation);
    void refresh();
    // Posts the own text as typed; postEnded follows.
    void post(const QString& ownText);
    // The window was asked to close during a post: closeWanted follows once the post has landed.
    void closeAfterPost() { m_closeAfterPost = true; }
    // Clears the live log at shareLocation, asking for a login through ask; done gets the outcome.
    void clear(const QString& shareLocation, std::function<bool(const FileError&)> ask,
               std::function<void(const FileError&)> done);
    // The settings window opens and closes: no read may show the log as it was before a clear there.
    void settingsOpening();
    void settingsClosed();
    // The close sequence: nothing reads any more.
    void stop();

signals:
    void stateChanged(ChatSession::State state);
    void statusShown(ChatSession::Status status);
    // Indexed off the window's thread for a refresh; the window only puts it in place.
    void logRead(const IndexedLog& log);
    void readFailed(const FileError& error);
    // Before postEnded: the post has landed, and its text is in the log.
    void posted();
    void postEnded();
    void closeWanted();

private:
    void handle(Event event);
    void enter(State state);
    // Every change of the refresh timer's state goes through here; it also drops the result of a read
    // still under way, which the change has made stale.
    void setRefreshTimerEnabled(bool enabled);
    struct RefreshRead;
    // The refresh timer waits while a read is under way and resumes with its result. A read that may trust
    // the identity of the log shown reads nothing when the share says it is the same.
    void readInBackground(bool mayTrustIdentity, std::function<void(const RefreshRead&)> apply);
    void onRefreshTick();
    void showReadResult(const RefreshRead& result);
    // What the view shows is no longer the log last read: the next read reads it whole.
    void showStatus(Status status);
    void showLog(const IndexedLog& log);
    // The log shown before the last one, once nothing else holds it, lends its memory to the next read.
    void recycleRetiredLog();
    struct PostRead;
    void showPostResult(const PostRead& post);
    void endPosting();
    // A dialog runs an event loop: no refresh tick may run inside it.
    void withRefreshPaused(const std::function<void()>& dialog);
    bool askedForLogin(const FileError& error, const std::function<void()>& readAgain);

    std::shared_ptr<FileAccess> m_files;
    const std::shared_ptr<LiveLog::Workstation> m_workstation;
    SessionPrompts& m_prompts;
    const std::chrono::milliseconds m_refreshInterval;
    FileWorker* m_worker = nullptr;
    IntervalTimer* m_refreshTimer = nullptr;
    IntervalTimer* m_refreshMonitor = nullptr;
    QString m_shareLocation;
    State m_state = State::autoRefreshOff;
    quint64 m_readTicket = 0;
    // The identity of the log the view shows, with the location it was read from.
    struct KnownLog
    {
        QString shareLocation;
        FileIdentity identity;
    };
    std::optional<KnownLog> m_known;
    // Ticks in a row that trusted the identity.
    int m_ticksTrusted = 0;
    // The log last given to the view, and whether the view shows it rather than a status.
    std::shared_ptr<const LogLines> m_shown;
    bool m_viewShowsLog = false;
    std::shared_ptr<const LogLines> m_retired;
    struct SpareMemory;
    std::shared_ptr<SpareMemory> m_spare;
    // The ticket of a Refresh click's read until its result is shown.
    quint64 m_refreshClickTicket = 0;
    bool m_refreshPausedForRead = false;
    // A Refresh read was dropped when the settings window opened: it runs again once it has closed.
    bool m_refreshAfterSettings = false;
    bool m_closeAfterPost = false;
    // Set when the user turned down the login dialog that a refresh tick opened: ticks then stop asking
    // until the user refreshes, posts or saves a share location.
    bool m_loginDeclined = false;
};

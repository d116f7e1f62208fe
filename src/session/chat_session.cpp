#include "session/chat_session.h"

#include "livelog/live_log.h"
#include "livelog/live_log_format.h"
#include "session/file_worker.h"
#include "session/interval_timer.h"
#include "session/session_prompts.h"
#include "text/code_page.h"
#include "text/message_text.h"

#include <mutex>
#include <utility>

namespace {

using AskForLogin = std::function<bool(const FileError&)>;

// Runs work on the worker until it no longer needs a login or the user gives none, then done with the
// last result. The question comes here between tries, never while a file call is at work.
template <typename Work, typename Done>
void retryWithLogin(FileWorker& worker, const QString& name, const AskForLogin& ask, Work work, Done done)
{
    worker.change(name, work, [&worker, name, ask, work, done](const auto& result) {
        if (errorOf(result).is(FileError::Kind::loginNeeded) && ask(errorOf(result)))
            retryWithLogin(worker, name, ask, work, done);
        else
            done(result);
    });
}

} // namespace

struct ChatSession::PostRead
{
    LiveLog::PostResult result;
    // The log the post read, indexed against the one shown when the post began.
    IndexedLog log;

    const FileError& error() const { return result.error(); }
};

struct ChatSession::RefreshRead
{
    bool unchanged = false;
    std::optional<FileIdentity> identity;
    FileError error;
    // Read whole, and changed.
    IndexedLog log;
};

// Where the memory of an old log waits for the next read, which runs on some thread of the worker. A
// read given up on keeps what it took, so the next read never shares it.
struct ChatSession::SpareMemory
{
    std::mutex mutex;
    LogLines::Memory memory;

    LogLines::Memory take()
    {
        const std::lock_guard lock(mutex);
        return std::exchange(memory, {});
    }
    void put(LogLines::Memory spare)
    {
        const std::lock_guard lock(mutex);
        memory = std::move(spare);
    }
};

ChatSession::State ChatSession::next(State state, Event event, bool hasShareLocation)
{
    switch (event) {
    case Event::autoRefreshTicked:
        return hasShareLocation ? State::autoRefreshOn : State::noShare;
    case Event::autoRefreshUnticked:
        return hasShareLocation ? State::autoRefreshUnticked : State::noShare;
    case Event::locationTaken:
        return hasShareLocation ? State::autoRefreshOff : State::noShare;
    case Event::postStarted:
        return state == State::autoRefreshOn ? State::posting : state;
    case Event::postEnded:
        return state == State::posting ? State::autoRefreshOn : state;
    }
    return state;
}

ChatSession::Usable ChatSession::usableIn(State state)
{
    const bool autoRefreshing = state == State::autoRefreshOn || state == State::posting;
    Usable usable;
    // The window answers during a post, but what is posted is the text at the click: typing on, or a
    // switch of auto refresh that would let the user type and post again, would be lost when the post
    // empties the field.
    usable.autoRefreshSwitch = state != State::noShare && state != State::posting;
    usable.post = state == State::autoRefreshOn;
    usable.refresh = state == State::autoRefreshOn || state == State::autoRefreshUnticked;
    usable.settings = !autoRefreshing;
    usable.ownTextEditable = state == State::autoRefreshOn;
    return usable;
}

ChatSession::ChatSession(std::shared_ptr<FileAccess> files, std::shared_ptr<LiveLog::Workstation> workstation,
                         SessionPrompts& prompts, std::chrono::milliseconds refreshInterval, QObject* parent)
    : QObject(parent)
    , m_files(files)
    , m_workstation(std::move(workstation))
    , m_prompts(prompts)
    , m_refreshInterval(refreshInterval)
{
    m_spare = std::make_shared<SpareMemory>();
    Q_ASSERT(m_workstation);
    m_worker = new FileWorker(std::move(files), this);
    m_refreshTimer = new IntervalTimer(QStringLiteral("MAIN_TEXT_REFRESH_TIMER"), this);
    connect(m_refreshTimer, &IntervalTimer::tick, this, &ChatSession::onRefreshTick);
    // Switched together with the refresh timer; it never gets an interval and so never fires.
    m_refreshMonitor = new IntervalTimer(QStringLiteral("REFRESH_TIMER_MONITOR"), this);
}

// Before the children go: nothing is delivered to this object after it.
ChatSession::~ChatSession()
{
    m_worker->shutdown(QDeadlineTimer(FileWorker::defaultShutdownWait));
}

void ChatSession::handle(Event event)
{
    enter(next(m_state, event, hasShareLocation()));
}

void ChatSession::enter(State state)
{
    m_state = state;
    setRefreshTimerEnabled(state == State::autoRefreshOn);
    m_refreshMonitor->setEnabled(state == State::autoRefreshOn || state == State::posting);
    emit stateChanged(state);
}

void ChatSession::finishLoad(bool autoRefreshTicked)
{
    m_refreshTimer->setInterval(static_cast<int>(m_refreshInterval.count()));
    showStatus(Status::loading);
    handle(autoRefreshTicked ? Event::autoRefreshTicked : Event::locationTaken);
    if (m_state == State::noShare)
        showStatus(Status::configure);
    else if (m_state == State::autoRefreshOff)
        showStatus(Status::autoRefreshDisabled);
}

void ChatSession::switchAutoRefresh(bool ticked)
{
    handle(ticked ? Event::autoRefreshTicked : Event::autoRefreshUnticked);
    if (m_state == State::autoRefreshOn)
        showStatus(Status::autoRefreshEnabled);
}

void ChatSession::showStatus(Status status)
{
    m_known.reset();
    m_viewShowsLog = false;
    emit statusShown(status);
}

void ChatSession::showLog(const IndexedLog& log)
{
    if (log.lines != m_shown)
        m_retired = std::exchange(m_shown, log.lines);
    m_viewShowsLog = true;
    emit logRead(log);
}

// Every log given to the view was made by IndexedLog::of, never const. One that a read given up on still
// reads stays.
void ChatSession::recycleRetiredLog()
{
    if (m_retired && m_retired.use_count() == 1)
        m_spare->put(std::const_pointer_cast<LogLines>(m_retired)->release());
    m_retired.reset();
}

void ChatSession::takeSavedShareLocation(const QString& shareLocation)
{
    setShareLocation(shareLocation);
    m_loginDeclined = false;
    handle(Event::locationTaken);
    if (m_state == State::autoRefreshOff)
        showStatus(Status::autoRefreshDisabled);
}

void ChatSession::setRefreshTimerEnabled(bool enabled)
{
    ++m_readTicket;
    m_refreshPausedForRead = false;
    m_refreshTimer->setEnabled(enabled);
}

void ChatSession::readInBackground(bool mayTrustIdentity, std::function<void(const RefreshRead&)> apply)
{
    if (m_refreshTimer->isEnabled()) {
        m_refreshTimer->setEnabled(false);
        m_refreshPausedForRead = true;
    }
    const quint64 ticket = ++m_readTicket;
    const QString share = m_shareLocation;
    const QString logPath = m_files->messagePath(LiveLogFormat::liveLogPath(share));
    std::optional<FileIdentity> known;
    if (mayTrustIdentity && m_known && m_known->shareLocation == share &&
        m_ticksTrusted < wholeReadEvery - 1) {
        known = m_known->identity;
        ++m_ticksTrusted;
    } else {
        m_ticksTrusted = 0;
    }
    recycleRetiredLog();
    m_worker->readAs<RefreshRead>(
        logPath,
        [share, known, station = m_workstation, shown = m_shown, spare = m_spare](FileAccess& files) mutable {
            RefreshRead read;
            LogLines::Memory memory = spare->take();
            const FileRereadResult result =
                LiveLog::readIfChanged(files, *station, share, known, memory.bytes);
            read.unchanged = result.unchanged;
            read.identity = result.identity;
            read.error = result.error;
            if (!result.error.failed() && !result.unchanged) {
                // The bytes shown already need no showing again.
                if (IndexedLog log = IndexedLog::of(memory, shown); log.lines != shown)
                    read.log = std::move(log);
            }
            if (!memory.bytes.isNull())
                spare->put(std::move(memory));
            // Not held past the read, so that its memory can be lent once the view lets go of it.
            shown.reset();
            return read;
        },
        [this, ticket, share, apply = std::move(apply)](const RefreshRead& result) {
            if (ticket != m_readTicket)
                return;
            if (m_refreshPausedForRead) {
                m_refreshPausedForRead = false;
                m_refreshTimer->setEnabled(true);
            }
            if (result.error.failed() || !result.identity)
                m_known.reset();
            else if (!result.unchanged)
                m_known = KnownLog{share, *result.identity};
            apply(result);
        });
}

void ChatSession::onRefreshTick()
{
    readInBackground(true, [this](const RefreshRead& result) {
        showReadResult(result);
        askedForLogin(result.error, [this] { onRefreshTick(); });
    });
}

// A log the share reports unchanged is the one on display: nothing to show, and as a successful read it
// leaves the view as it is.
void ChatSession::showReadResult(const RefreshRead& result)
{
    if (result.error.failed()) {
        m_viewShowsLog = false;
        emit readFailed(result.error);
    } else if (result.log.lines) {
        showLog(result.log);
    } else if (!m_viewShowsLog && m_shown) {
        showLog(IndexedLog::same(m_shown));
    }
}

void ChatSession::refresh()
{
    m_loginDeclined = false;
    showStatus(Status::refreshing);
    readInBackground(false, [this](const RefreshRead& result) {
        m_refreshClickTicket = 0;
        showReadResult(result);
        // A declined login needs no message on top: the user has just read why, and the status line
        // still says it.
        if (askedForLogin(result.error, [this] { refresh(); }))
            return;
        if (result.error.failed())
            withRefreshPaused([&] { m_prompts.showError(LiveLog::describe(result.error)); });
    });
    m_refreshClickTicket = m_readTicket;
}

void ChatSession::post(const QString& ownText)
{
    if (m_state != State::autoRefreshOn)
        return;
    handle(Event::postStarted);
    const CodePage::Encoded encoded = CodePage::encode(ownText);
    if (!encoded.unencodable.isEmpty() &&
        !m_prompts.askToProceed(
            QStringLiteral("The live log cannot hold these characters of your text: %1\n\n"
                           "Post the text with each of them replaced by \"?\"? Choose No to go back "
                           "and change the text.")
                .arg(MessageText::firstFew(encoded.unencodable)))) {
        endPosting();
        return;
    }

    m_loginDeclined = false;
    const QString share = m_shareLocation;
    // The lock and a slow share are waited for off this thread, so the window keeps answering.
    retryWithLogin(
        *m_worker, QStringLiteral("live log post"),
        [this, share](const FileError& error) { return m_prompts.askForLogin(share, error); },
        [share, bytes = encoded.bytes, station = m_workstation, shown = m_shown](FileAccess& files) {
            PostRead post{LiveLog::post(files, *station, share, bytes), {}};
            // As a refresh read is, off this thread; the post read what the last tick showed, as a rule, and
            // then that index stays.
            if (post.result.logRead()) {
                LogLines::Memory read{post.result.read.bytes, {}};
                post.log = IndexedLog::of(read, shown);
            }
            return post;
        },
        [this](const PostRead& post) { showPostResult(post); });
}

// The log that the post read is on display, and the post's own entry is not: the next tick reads whole.
void ChatSession::showPostResult(const PostRead& post)
{
    m_known.reset();
    const LiveLog::PostResult& result = post.result;
    if (result.logRead())
        showLog(post.log);
    if (result.failed()) {
        // The user reads why first, and decides again with the text still there.
        m_closeAfterPost = false;
        m_prompts.showError(QStringLiteral("Your text was not posted; it is still in its field.\n\n") +
                            LiveLog::describe(result));
    } else {
        emit posted();
    }
    endPosting();
}

void ChatSession::endPosting()
{
    handle(Event::postEnded);
    emit postEnded();
    if (std::exchange(m_closeAfterPost, false))
        emit closeWanted();
}

void ChatSession::clear(const QString& shareLocation, std::function<bool(const FileError&)> ask,
                        std::function<void(const FileError&)> done)
{
    retryWithLogin(
        *m_worker, QStringLiteral("live log clear"), ask,
        [shareLocation, station = m_workstation](FileAccess& files) {
            return LiveLog::clear(files, *station, shareLocation);
        },
        std::move(done));
}

// Auto refresh is off here. A Refresh read still under way would show the log as it was before a clear
// in the settings window: it is dropped, and read again once the window has closed, unless a location
// saved there has switched refreshing off.
void ChatSession::settingsOpening()
{
    m_refreshAfterSettings = m_refreshClickTicket != 0 && m_refreshClickTicket == m_readTicket;
    setRefreshTimerEnabled(false);
}

void ChatSession::settingsClosed()
{
    if (std::exchange(m_refreshAfterSettings, false) && m_state == State::autoRefreshUnticked)
        refresh();
}

void ChatSession::stop()
{
    setRefreshTimerEnabled(false);
}

// The timer stays off while a dialog is open: no tick reaches the share meanwhile, and none queues up.
void ChatSession::withRefreshPaused(const std::function<void()>& dialog)
{
    setRefreshTimerEnabled(false);
    dialog();
    setRefreshTimerEnabled(m_state == State::autoRefreshOn);
}

// A read the share refused for want of a login asks for one, unless the user declined since the last
// Refresh, post or saved location; with a login the read runs again.
bool ChatSession::askedForLogin(const FileError& error, const std::function<void()>& readAgain)
{
    if (!error.is(FileError::Kind::loginNeeded) || m_loginDeclined)
        return false;
    bool given = false;
    withRefreshPaused([&] { given = m_prompts.askForLogin(m_shareLocation, error); });
    m_loginDeclined = !given;
    if (given)
        readAgain();
    return true;
}

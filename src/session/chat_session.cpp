#include "session/chat_session.h"

#include "livelog/live_log.h"
#include "livelog/live_log_format.h"
#include "session/file_worker.h"
#include "session/interval_timer.h"
#include "session/session_prompts.h"
#include "text/code_page.h"
#include "text/message_text.h"

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
    emit statusShown(Status::loading);
    handle(autoRefreshTicked ? Event::autoRefreshTicked : Event::locationTaken);
    if (m_state == State::noShare)
        emit statusShown(Status::configure);
    else if (m_state == State::autoRefreshOff)
        emit statusShown(Status::autoRefreshDisabled);
}

void ChatSession::switchAutoRefresh(bool ticked)
{
    handle(ticked ? Event::autoRefreshTicked : Event::autoRefreshUnticked);
    if (m_state == State::autoRefreshOn)
        emit statusShown(Status::autoRefreshEnabled);
}

void ChatSession::takeSavedShareLocation(const QString& shareLocation)
{
    m_shareLocation = shareLocation;
    m_loginDeclined = false;
    handle(Event::locationTaken);
    if (m_state == State::autoRefreshOff)
        emit statusShown(Status::autoRefreshDisabled);
}

void ChatSession::setRefreshTimerEnabled(bool enabled)
{
    ++m_readTicket;
    m_refreshPausedForRead = false;
    m_refreshTimer->setEnabled(enabled);
}

void ChatSession::readInBackground(std::function<void(const FileReadResult&)> apply)
{
    if (m_refreshTimer->isEnabled()) {
        m_refreshTimer->setEnabled(false);
        m_refreshPausedForRead = true;
    }
    const quint64 ticket = ++m_readTicket;
    const QString share = m_shareLocation;
    const QString logPath = m_files->messagePath(LiveLogFormat::liveLogPath(share));
    m_worker->read(
        logPath,
        [share, station = m_workstation](FileAccess& files) { return LiveLog::read(files, *station, share); },
        [this, ticket, apply = std::move(apply)](const FileReadResult& result) {
            if (ticket != m_readTicket)
                return;
            if (m_refreshPausedForRead) {
                m_refreshPausedForRead = false;
                m_refreshTimer->setEnabled(true);
            }
            apply(result);
        });
}

void ChatSession::onRefreshTick()
{
    readInBackground([this](const FileReadResult& result) {
        showReadResult(result);
        askedForLogin(result.error, [this] { onRefreshTick(); });
    });
}

void ChatSession::showReadResult(const FileReadResult& result)
{
    if (result.error.failed())
        emit readFailed(result.error);
    else
        emit logRead(result.bytes);
}

void ChatSession::refresh()
{
    m_loginDeclined = false;
    emit statusShown(Status::refreshing);
    readInBackground([this](const FileReadResult& result) {
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
        [share, bytes = encoded.bytes, station = m_workstation](FileAccess& files) {
            return LiveLog::post(files, *station, share, bytes);
        },
        [this](const LiveLog::PostResult& result) { showPostResult(result); });
}

void ChatSession::showPostResult(const LiveLog::PostResult& result)
{
    if (result.logRead())
        emit logRead(result.read.bytes);
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

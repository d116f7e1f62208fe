#include "livelog/log_lock.h"

#include "text/message_text.h"

#include <QRandomGenerator>

namespace LiveLog {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;
using std::chrono::milliseconds;

// How often the age of the same lock is asked of the server while waiting for it.
constexpr milliseconds ageCheckInterval{500};
// How far a lock's time may lie ahead of the server's own before it counts as dated in the future: the
// two times come from one clock, but not always at the same resolution.
constexpr qint64 clockSlackMs = 2000;
// Far longer than a writer takes from creating its lock to writing it.
constexpr milliseconds emptyLockSettle{500};
// A lock of this program is a few short lines; of anything else at that place no more is read.
constexpr qsizetype lockReadLimit = 4096;

// Short random pauses, growing, so that waiting writers do not retry in step.
milliseconds pauseBeforeTry(int round)
{
    const int longest = std::min(2 << std::min(round, 4), 25);
    return milliseconds(1 + QRandomGenerator::global()->bounded(longest));
}

} // namespace

LogLock::LogLock(FileAccess& files, Workstation& station, const LogFolder& folder, const Timing& timing)
    : m_files(files)
    , m_station(station)
    , m_folder(folder)
    , m_lockPath(folder.lock())
    , m_timing(timing)
    , m_stale(station, timing.staleAfter)
{}

LogLock::~LogLock()
{
    release();
}

LogLock::Holder LogLock::parse(const QByteArray& bytes)
{
    Holder holder;
    holder.bytes = bytes;
    for (const QByteArray& line : bytes.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QString value = QString::fromUtf8(line.mid(equals + 1).trimmed());
        if (key == "host")
            holder.host = value;
        else if (key == "machine")
            holder.machine = value;
        else if (key == "process")
            holder.process = value.toLongLong();
        else if (key == "token")
            holder.token = value;
        else if (key == "since")
            holder.since = value;
    }
    return holder;
}

FileError LogLock::acquire()
{
    const Writer& self = m_station.self();
    m_content =
        QStringLiteral(
            "BD-ChatSlate live log lock\r\nhost=%1\r\nmachine=%2\r\nprocess=%3\r\ntoken=%4\r\nsince=%5\r\n")
            .arg(self.host, self.machine, QString::number(self.process),
                 QString::number(QRandomGenerator::system()->generate64(), 16),
                 m_station.clock().utcNow().toString(Qt::ISODateWithMs))
            .toUtf8();
    settleDoubt();
    Clock& clock = m_station.clock();
    const SteadyTime deadline = clock.now() + m_timing.lockWait;
    Holder holder;
    for (int round = 0;; ++round) {
        const FileError created = create();
        if (!created.failed()) {
            m_held = true;
            m_refreshed = clock.now();
            return {};
        }
        if (!created.is(FileError::Kind::alreadyExists)) {
            doubtAfter(created, m_content);
            return created;
        }
        holder = inspect();
        const bool removed =
            holder.readError.is(FileError::Kind::missing) || (isStale(holder) && removeIfUnchanged(holder));
        if (clock.now() >= deadline)
            return heldBy(holder);
        if (!removed)
            clock.sleep(pauseBeforeTry(round));
    }
}

// The lock appears whole or not at all where the backend can do that.
FileError LogLock::create()
{
    const QString scratch = m_folder.newLock(m_station.self());
    return m_station.oneCreateAtATime([&] {
        return m_station.retryWhileBusy([&] { return m_files.createWhole(m_lockPath, m_content, scratch); });
    });
}

// Only a server that did not answer leaves it open whether the call was carried out; every other failure
// is the server's own answer.
void LogLock::doubtAfter(const FileError& error, const QByteArray& content)
{
    if (!error.is(FileError::Kind::serverUnreachable) && !error.is(FileError::Kind::other))
        return;
    m_station.doubt(m_lockPath, content);
}

void LogLock::settleDoubt()
{
    const std::optional<QByteArray> left = m_station.takeDoubt(m_lockPath);
    if (!left)
        return;
    const Holder holder = inspect();
    if (holder.readError.is(FileError::Kind::missing) || !left->startsWith(holder.bytes))
        return;
    if (holder.readError.failed()) {
        doubtAfter(holder.readError, *left);
        return;
    }
    // Another writer's lock is empty for the moment between its create and its content; one that stays
    // empty is nobody's.
    if (holder.bytes.isEmpty()) {
        m_station.clock().sleep(emptyLockSettle);
        if (!inspect().sameAs(holder))
            return;
    }
    removeIfUnchanged(holder);
}

FileReadResult LogLock::readLock()
{
    return m_station.retryWhileBusy([&] { return m_files.readStart(m_lockPath, lockReadLimit); });
}

bool LogLock::stillOurs()
{
    const FileReadResult current = readLock();
    return !current.error.failed() && current.bytes == m_content;
}

LogLock::Holder LogLock::inspect()
{
    const FileReadResult read = readLock();
    Holder holder = parse(read.bytes);
    holder.readError = read.error;
    if (read.error.is(FileError::Kind::missing))
        return holder;
    if (const FileTimeResult modified = m_files.modificationTime(m_lockPath); !modified.error.failed())
        holder.modified = modified.msecsSinceEpoch;
    return holder;
}

bool LogLock::isStale(Holder& holder)
{
    if (m_stale.holder(holder.host, holder.machine, holder.process) == StaleRule::Process::ended)
        return true;
    const SteadyTime checked = m_station.clock().now();
    if (m_aged && m_aged->sameAs(holder) && checked - m_agedAt < ageCheckInterval) {
        holder.datedAhead = m_aged->datedAhead;
        return false;
    }
    m_agedAt = checked;
    const std::optional<qint64> now = serverNow();
    if (now && holder.modified) {
        holder.datedAhead = *holder.modified > *now + clockSlackMs;
        if (m_stale.agedPast(*holder.modified, *now))
            return true;
    }
    m_aged = holder;
    // A lock dated in the future, half-written or unreadable has no age to go by; one that stays as it is
    // is no writer's, since a writer at work rewrites its lock and every rewrite gets a new time.
    return now && unchangedPastStaleAge(holder, *now);
}

// Network clients cache file times and workstations' clocks differ, so the lock's time is compared
// with that of a file written just now in the same folder: both times come from the server.
std::optional<qint64> LogLock::serverNow()
{
    const QString probe = m_folder.clockProbe(m_station.self());
    if (m_files.writeAll(probe, {}, FileAccess::Create::replacingContent).failed())
        return std::nullopt;
    const FileTimeResult now = m_files.modificationTime(probe);
    m_files.remove(probe);
    if (now.error.failed())
        return std::nullopt;
    return now.msecsSinceEpoch;
}

bool LogLock::unchangedPastStaleAge(const Holder& holder, qint64 now)
{
    return m_stale.agedPast(m_station.firstSeen(m_lockPath, holder.state(), now), now);
}

// Waiters who found the same stale lock take turns through a breaker file: otherwise one that looked
// before another removed the stale lock and took its own would remove that new lock, and two posts
// would write at once. Another waiter may have removed the stale lock and taken its own meanwhile; that
// one stays.
bool LogLock::removeIfUnchanged(const Holder& holder)
{
    const QString breakerPath = m_folder.lockBreaker();
    const FileError breaking = m_files.writeAll(breakerPath, m_content, FileAccess::Create::newOnly);
    if (breaking.is(FileError::Kind::alreadyExists)) {
        removeBreakerLeftBehind(breakerPath);
        return false;
    }
    if (breaking.failed())
        return false;
    bool removed = false;
    if (inspect().sameAs(holder)) {
        m_removeFailure = m_station.retryWhileBusy([&] { return m_files.remove(m_lockPath); });
        removed = !m_removeFailure.failed();
    }
    m_station.retryWhileBusy([&] { return m_files.remove(breakerPath); });
    return removed;
}

// A waiter that stopped while breaking a lock left its breaker behind; it goes once it is stale.
void LogLock::removeBreakerLeftBehind(const QString& breakerPath)
{
    const FileTimeResult written = m_files.modificationTime(breakerPath);
    const std::optional<qint64> now = serverNow();
    if (!written.error.failed() && now && m_stale.agedPast(written.msecsSinceEpoch, *now))
        m_files.remove(breakerPath);
}

// Nobody judges a lock stale before it is this old, so until then it is surely still this writer's.
bool LogLock::heldLong() const
{
    return m_station.clock().now() - m_refreshed >= m_timing.staleAfter / 4;
}

FileError LogLock::keepAlive()
{
    if (!m_held || !heldLong())
        return {};
    if (!stillOurs()) {
        m_held = false;
        return {FileError::Kind::other,
                QStringLiteral("Cannot change %1: this post took so long that another one took over its lock "
                               "%2. Nothing was written.")
                    .arg(m_files.messagePath(m_folder.log()), m_files.messagePath(m_lockPath))};
    }
    // Rewriting the content, rather than setting a time, makes the server stamp it with its own clock.
    FileError refreshed = m_station.retryWhileBusy(
        [&] { return m_files.writeAll(m_lockPath, m_content, FileAccess::Create::replacingContent); });
    if (refreshed.failed())
        return refreshed;
    m_refreshed = m_station.clock().now();
    return {};
}

void LogLock::release()
{
    if (!m_held)
        return;
    m_held = false;
    if (heldLong() && !stillOurs())
        return;
    // Waiters read the lock all the time, and a file server refuses to delete a file that someone has
    // open: a lock left behind would stop every post until it is stale.
    Clock& clock = m_station.clock();
    const SteadyTime deadline = clock.now() + m_timing.staleAfter / 2;
    FileError removed;
    do
        removed = m_station.retryWhileBusy([&] { return m_files.remove(m_lockPath); });
    while (removed.is(FileError::Kind::busy) && clock.now() < deadline);
    doubtAfter(removed, m_content);
}

FileError LogLock::heldBy(const Holder& holder) const
{
    const QString lockPath = m_files.messagePath(m_lockPath);
    QString what;
    if (holder.readError.is(FileError::Kind::missing)) {
        what = QStringLiteral("other posts hold its lock %1 one after another").arg(lockPath);
    } else if (holder.readError.failed()) {
        what = QStringLiteral("its lock %1 cannot be read (%2)").arg(lockPath, holder.readError.message);
    } else if (holder.host.isEmpty()) {
        what = QStringLiteral("its lock %1 names no workstation: it is half-written or not a lock of this "
                              "program")
                   .arg(lockPath);
    } else {
        what = QStringLiteral("another post holds its lock %1: workstation %2, process %3, since %4 by that "
                              "workstation's clock")
                   .arg(lockPath, holder.host, QString::number(holder.process),
                        holder.since.isEmpty() ? QStringLiteral("an unknown time") : holder.since);
        if (holder.datedAhead)
            what += QStringLiteral(", and the lock is dated in the future by the file server's clock");
    }
    FileError::Kind kind = FileError::Kind::busy;
    QString advice = QStringLiteral("Try again in a moment.");
    if (m_removeFailure.failed()) {
        kind = m_removeFailure.kind;
        advice =
            QStringLiteral("It was left behind but cannot be removed (%1). Delete it by hand while nobody "
                           "posts.")
                .arg(m_removeFailure.message);
    } else if (holder.odd()) {
        advice = QStringLiteral("It counts as left behind once it has stayed unchanged for %1 seconds: try "
                                "again then.")
                     .arg(std::chrono::duration_cast<std::chrono::seconds>(m_timing.staleAfter).count());
    }
    return {kind, MessageText::withAdvice(
                      QStringLiteral("Cannot change %1: %2").arg(m_files.messagePath(m_folder.log()), what),
                      advice)};
}

} // namespace LiveLog

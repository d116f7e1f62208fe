#include "livelog/log_lock.h"

#include "platform/native_file_ops.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>
#include <QSysInfo>

namespace LiveLog {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often the age of the same lock is asked of the server while waiting for it.
constexpr milliseconds ageCheckInterval{500};

// Short random pauses, growing, so that waiting writers do not retry in step.
milliseconds pauseBeforeTry(int round)
{
    const int longest = std::min(2 << std::min(round, 4), 25);
    return milliseconds(1 + QRandomGenerator::global()->bounded(longest));
}

} // namespace

const Writer& Writer::self()
{
    static const Writer writer{QSysInfo::machineHostName(), QCoreApplication::applicationPid()};
    return writer;
}

QString Writer::fileTag() const
{
    QString tag = host.isEmpty() ? QStringLiteral("host") : host;
    for (QChar& character : tag) {
        if (!(character.isLetterOrNumber() && character.unicode() < 0x80) && character != QLatin1Char('-'))
            character = QLatin1Char('_');
    }
    return tag + QLatin1Char('-') + QString::number(process);
}

LogLock::LogLock(FileAccess& files, const QString& logPath, const Timing& timing)
    : m_files(files)
    , m_logPath(logPath)
    , m_lockPath(lockPath(logPath))
    , m_timing(timing)
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
    const Writer& self = Writer::self();
    m_content =
        QStringLiteral("BD-ChatSlate live log lock\r\nhost=%1\r\nprocess=%2\r\ntoken=%3\r\nsince=%4\r\n")
            .arg(self.host, QString::number(self.process),
                 QString::number(QRandomGenerator::system()->generate64(), 16),
                 QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs))
            .toUtf8();
    const Clock::time_point deadline = Clock::now() + m_timing.lockWait;
    Holder holder;
    for (int round = 0;; ++round) {
        const FileError created = retryWhileBusy(
            [&] { return m_files.writeAll(m_lockPath, m_content, FileAccess::Create::newOnly); });
        if (!created.failed()) {
            m_held = true;
            m_refreshed = Clock::now();
            return {};
        }
        if (!created.is(FileError::Kind::alreadyExists))
            return created;
        const FileReadResult current = retryWhileBusy([&] { return m_files.readAll(m_lockPath); });
        bool removed = current.error.is(FileError::Kind::missing);
        if (!current.error.failed()) {
            holder = parse(current.bytes);
            removed = isStale(holder) && removeIfUnchanged(holder);
        }
        if (Clock::now() >= deadline)
            return heldBy(holder);
        if (!removed)
            std::this_thread::sleep_for(pauseBeforeTry(round));
    }
}

bool LogLock::isStale(const Holder& holder)
{
    const Writer& self = Writer::self();
    if (holder.host == self.host && holder.process > 0 && holder.process != self.process &&
        !NativeFileOps::processRunning(holder.process))
        return true;
    // Another host's process cannot be asked, and its clock is its own: only the lock's age on the
    // server says that its writer is gone.
    const Clock::time_point now = Clock::now();
    if (m_aged == holder.bytes && now - m_agedAt < ageCheckInterval)
        return false;
    m_aged = holder.bytes;
    m_agedAt = now;
    return olderThanStaleLimit();
}

// Network clients cache file times and workstations' clocks differ, so the lock's time is compared
// with that of a file written just now in the same folder: both times come from the server.
bool LogLock::olderThanStaleLimit()
{
    const QString probe = m_logPath + QLatin1Char('.') + Writer::self().fileTag() + QStringLiteral(".CLOCK");
    if (m_files.writeAll(probe, {}, FileAccess::Create::replacingContent).failed())
        return false;
    const FileTimeResult now = m_files.modificationTime(probe);
    m_files.remove(probe);
    const FileTimeResult locked = m_files.modificationTime(m_lockPath);
    if (now.error.failed() || locked.error.failed())
        return false;
    return now.msecsSinceEpoch - locked.msecsSinceEpoch > m_timing.staleAfter.count();
}

// Another waiter may have removed the stale lock and taken its own meanwhile; that one stays.
bool LogLock::removeIfUnchanged(const Holder& holder)
{
    const FileReadResult again = retryWhileBusy([&] { return m_files.readAll(m_lockPath); });
    if (again.error.failed() || again.bytes != holder.bytes)
        return false;
    return !retryWhileBusy([&] { return m_files.remove(m_lockPath); }).failed();
}

// Nobody judges a lock stale before it is this old, so until then it is surely still this writer's.
bool LogLock::heldLong() const
{
    return Clock::now() - m_refreshed >= m_timing.staleAfter / 4;
}

FileError LogLock::keepAlive()
{
    if (!m_held || !heldLong())
        return {};
    const FileReadResult current = retryWhileBusy([&] { return m_files.readAll(m_lockPath); });
    if (current.error.failed() || current.bytes != m_content) {
        m_held = false;
        return {FileError::Kind::other,
                QStringLiteral("Cannot change %1: this post took so long that another one took over its lock "
                               "%2. Nothing was written.")
                    .arg(m_logPath, m_lockPath)};
    }
    // Rewriting the content, rather than setting a time, makes the server stamp it with its own clock.
    FileError refreshed = retryWhileBusy(
        [&] { return m_files.writeAll(m_lockPath, m_content, FileAccess::Create::replacingContent); });
    if (refreshed.failed())
        return refreshed;
    m_refreshed = Clock::now();
    return {};
}

void LogLock::release()
{
    if (!m_held)
        return;
    m_held = false;
    if (heldLong()) {
        const FileReadResult current = retryWhileBusy([&] { return m_files.readAll(m_lockPath); });
        if (current.error.failed() || current.bytes != m_content)
            return;
    }
    retryWhileBusy([&] { return m_files.remove(m_lockPath); });
}

FileError LogLock::heldBy(const Holder& holder) const
{
    if (holder.host.isEmpty()) {
        return {FileError::Kind::busy,
                QStringLiteral(
                    "Cannot change %1: another post holds its lock %2 and has not named itself yet.\n\n"
                    "Try again in a moment.")
                    .arg(m_logPath, m_lockPath)};
    }
    return {FileError::Kind::busy,
            QStringLiteral("Cannot change %1: another post holds its lock %2: workstation %3, process %4, "
                           "since %5 by that workstation's clock.\n\nTry again in a moment.")
                .arg(m_logPath, m_lockPath, holder.host, QString::number(holder.process),
                     holder.since.isEmpty() ? QStringLiteral("an unknown time") : holder.since)};
}

} // namespace LiveLog

#include "session/file_worker.h"

#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace {

// Each read given up on holds a thread until the share answers or the system gives up; past this many
// of one path, no further thread is spent on a share that does not answer.
constexpr qsizetype mostReadsGivenUp = 4;
// Room for the reads given up on of a few locations besides the read and the change under way.
constexpr int mostThreads = 16;

QString seconds(std::chrono::milliseconds duration)
{
    return QString::number(double(duration.count()) / 1000.0);
}

FileError notAnswered(const QString& path, const QString& why)
{
    return {FileError::Kind::serverUnreachable,
            QStringLiteral("Cannot read %1: %2; the share does not answer.").arg(path, why)};
}

} // namespace

// What the pool's threads share with the worker: the work still running, and where results go. The
// receiver is forgotten at shutdown, so that work finishing late never reaches a destroyed object.
struct FileWorker::Shared
{
    struct Running
    {
        QString key;
        Lane lane;
        bool givenUp = false;
    };

    std::mutex mutex;
    std::condition_variable finished;
    FileWorker* receiver = nullptr;
    std::map<quint64, Running> running;

    bool anyRunning(Lane lane, bool givenUpToo) const
    {
        return std::any_of(running.cbegin(), running.cend(), [&](const auto& entry) {
            return entry.second.lane == lane && (givenUpToo || !entry.second.givenUp);
        });
    }
};

FileWorker::FileWorker(std::shared_ptr<FileAccess> files, QObject* parent)
    : QObject(parent)
    , m_files(std::move(files))
    , m_shared(std::make_shared<Shared>())
    , m_pool(std::make_unique<QThreadPool>())
{
    m_shared->receiver = this;
    m_pool->setObjectName(QStringLiteral("file worker"));
    m_pool->setMaxThreadCount(mostThreads);
}

FileWorker::~FileWorker()
{
    shutdown(QDeadlineTimer(defaultShutdownWait));
}

void FileWorker::startRead(const QString& path, Job job, std::function<void(const FileError&)> failed)
{
    if (m_shutDown)
        return;
    if (const qsizetype stuck = readsGivenUpStillRunning(path); stuck >= mostReadsGivenUp) {
        const FileError error = notAnswered(
            path, QStringLiteral("the last %1 reads of it have not finished").arg(QString::number(stuck)));
        QMetaObject::invokeMethod(
            this,
            [this, failed = std::move(failed), error] {
                failed(error);
                emit readEnded();
            },
            Qt::QueuedConnection);
        return;
    }
    const quint64 id = start(Lane::read, path, std::move(job));
    m_pending[id].giveUp = [failed = std::move(failed), path, limit = m_readTimeLimit] {
        failed(notAnswered(path,
                           QStringLiteral("the read did not finish within %1 seconds").arg(seconds(limit))));
    };
    QTimer::singleShot(m_readTimeLimit, this, [this, id] { giveUp(id); });
}

void FileWorker::startChange(const QString& name, Job job)
{
    if (m_shutDown || isChanging())
        return;
    m_changeId = start(Lane::change, name, std::move(job));
}

quint64 FileWorker::start(Lane lane, const QString& key, Job job)
{
    const quint64 id = ++m_lastId;
    m_pending[id] = {lane, key, {}};
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->running[id] = {key, lane};
    }
    m_pool->start([shared = m_shared, files = m_files, id, job = std::move(job)] {
        std::function<void()> done = job(*files);
        const std::lock_guard lock(shared->mutex);
        shared->running.erase(id);
        shared->finished.notify_all();
        if (FileWorker* worker = shared->receiver)
            QMetaObject::invokeMethod(
                worker, [worker, id, done = std::move(done)] { worker->deliver(id, done); },
                Qt::QueuedConnection);
    });
    return id;
}

void FileWorker::deliver(quint64 id, const std::function<void()>& done)
{
    const auto pending = m_pending.find(id);
    if (pending == m_pending.end())
        return;
    const Lane lane = pending->second.lane;
    m_pending.erase(pending);
    if (lane == Lane::change) {
        m_changeId = 0;
        done();
        emit changeEnded();
    } else {
        done();
        emit readEnded();
    }
}

void FileWorker::giveUp(quint64 id)
{
    const auto pending = m_pending.find(id);
    if (pending == m_pending.end())
        return;
    const std::function<void()> giveUp = std::move(pending->second.giveUp);
    m_pending.erase(pending);
    {
        const std::lock_guard lock(m_shared->mutex);
        if (const auto running = m_shared->running.find(id); running != m_shared->running.end())
            running->second.givenUp = true;
    }
    giveUp();
    emit readEnded();
}

// Counted per path: reads of another location, which the user may have chosen instead, still start.
qsizetype FileWorker::readsGivenUpStillRunning(const QString& path) const
{
    const std::lock_guard lock(m_shared->mutex);
    return std::count_if(m_shared->running.cbegin(), m_shared->running.cend(),
                         [&](const auto& entry) { return entry.second.givenUp && entry.second.key == path; });
}

QStringList FileWorker::shutdown(QDeadlineTimer deadline)
{
    std::unique_lock lock(m_shared->mutex);
    if (!m_shutDown) {
        m_shutDown = true;
        for (;;) {
            const bool changes = m_shared->anyRunning(Lane::change, true);
            const bool reads = m_shared->anyRunning(Lane::read, false);
            if (!changes && (!reads || deadline.hasExpired()))
                break;
            if (changes || deadline.isForever())
                m_shared->finished.wait(lock);
            else
                m_shared->finished.wait_for(lock, deadline.remainingTimeAsDuration());
        }
        m_shared->receiver = nullptr;
    }
    QStringList left;
    for (const auto& [id, running] : m_shared->running)
        left.append(running.key);
    lock.unlock();
    m_pending.clear();
    m_changeId = 0;
    if (!m_pool)
        return left;
    if (left.isEmpty())
        m_pool->waitForDone();
    else
        // Its threads still run what was left, which keeps the backends it uses alive until it ends or
        // the process does.
        (void)m_pool.release();
    return left;
}

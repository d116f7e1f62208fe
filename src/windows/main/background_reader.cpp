#include "windows/main/background_reader.h"

#include <QMutex>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>

namespace {

// A read stuck on a dead share cannot be interrupted; past this wait the program ends without it.
constexpr int shutdownWait = 2000;
// Each read given up on holds a thread until the share answers or the system gives up; past this many
// of one path, no further thread is spent on a share that does not answer.
constexpr qsizetype mostReadsGivenUp = 4;

std::atomic<bool> readLeftRunning = false;

QString seconds(std::chrono::milliseconds duration)
{
    return QString::number(double(duration.count()) / 1000.0);
}

FileReadResult notAnswered(const QString& path, const QString& why)
{
    return {{},
            {FileError::Kind::serverUnreachable,
             QStringLiteral("Cannot read %1: %2; the share does not answer.").arg(path, why)}};
}

} // namespace

// Where the threads deliver results; it forgets the reader when the reader goes, so that a read finishing
// late never reaches a destroyed object.
struct BackgroundReader::Receiver
{
    QMutex mutex;
    BackgroundReader* reader = nullptr;
};

BackgroundReader::BackgroundReader(QObject* parent)
    : QObject(parent)
    , m_receiver(std::make_shared<Receiver>())
{
    m_receiver->reader = this;
}

BackgroundReader::~BackgroundReader()
{
    {
        const QMutexLocker lock(&m_receiver->mutex);
        m_receiver->reader = nullptr;
    }
    // A read given up on has been stuck for the whole time limit already: it is not waited for.
    const QDeadlineTimer deadline(shutdownWait);
    for (const QPointer<QThread>& thread : std::as_const(m_threads)) {
        if (!thread)
            continue;
        const bool givenUp = std::any_of(m_givenUp.cbegin(), m_givenUp.cend(),
                                         [&](const Started& read) { return read.thread == thread; });
        if (thread->wait(givenUp ? QDeadlineTimer(0) : deadline))
            delete thread;
        else
            // The thread is left to the end of the process: destroying a running QThread aborts.
            readLeftRunning = true;
    }
}

bool BackgroundReader::anyReadLeftRunning()
{
    return readLeftRunning;
}

void BackgroundReader::run(const QString& path, Read read, Done done)
{
    m_threads.removeAll(nullptr);
    if (const qsizetype stuck = readsGivenUpStillRunning(path); stuck >= mostReadsGivenUp) {
        const FileReadResult result = notAnswered(
            path, QStringLiteral("the last %1 reads of it have not finished").arg(QString::number(stuck)));
        QMetaObject::invokeMethod(
            this, [done = std::move(done), result] { done(result); }, Qt::QueuedConnection);
        return;
    }
    const quint64 id = ++m_lastId;
    QThread* thread = QThread::create([receiver = m_receiver, id, read = std::move(read)] {
        const FileReadResult result = read();
        const QMutexLocker lock(&receiver->mutex);
        if (BackgroundReader* reader = receiver->reader)
            QMetaObject::invokeMethod(reader, [reader, id, result] { reader->finish(id, result); });
    });
    thread->setObjectName(QStringLiteral("live log reader"));
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_threads.append(thread);
    m_pending[id] = {std::move(done), {thread, path}};
    QTimer::singleShot(m_timeLimit, this, [this, id, path] { giveUp(id, path); });
    thread->start();
}

void BackgroundReader::finish(quint64 id, const FileReadResult& result)
{
    const auto pending = m_pending.find(id);
    if (pending == m_pending.end())
        return;
    const Done done = std::move(pending->second.done);
    m_pending.erase(pending);
    done(result);
}

void BackgroundReader::giveUp(quint64 id, const QString& path)
{
    const auto pending = m_pending.find(id);
    if (pending == m_pending.end())
        return;
    const Done done = std::move(pending->second.done);
    m_givenUp.append(pending->second.read);
    m_pending.erase(pending);
    done(notAnswered(path,
                     QStringLiteral("the read did not finish within %1 seconds").arg(seconds(m_timeLimit))));
}

// Counted per path: reads of another location, which the user may have chosen instead, still start.
qsizetype BackgroundReader::readsGivenUpStillRunning(const QString& path)
{
    m_givenUp.removeIf([](const Started& read) { return !read.thread || read.thread->isFinished(); });
    return std::count_if(m_givenUp.cbegin(), m_givenUp.cend(),
                         [&](const Started& read) { return read.path == path; });
}

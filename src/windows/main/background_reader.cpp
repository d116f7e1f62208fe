#include "windows/main/background_reader.h"

#include <QMutex>
#include <QThread>
#include <atomic>

namespace {

// A read stuck on a dead share cannot be interrupted; past this wait the program ends without it.
constexpr int shutdownWait = 2000;

std::atomic<bool> readLeftRunning = false;

} // namespace

// Where the worker delivers results; it forgets the reader when the reader goes, so that a read finishing
// late never reaches a destroyed object.
struct BackgroundReader::Receiver
{
    QMutex mutex;
    QObject* reader = nullptr;
};

BackgroundReader::BackgroundReader(QObject* parent)
    : QObject(parent)
    , m_receiver(std::make_shared<Receiver>())
    , m_thread(new QThread)
    , m_worker(new QObject)
{
    m_receiver->reader = this;
    m_thread->setObjectName(QStringLiteral("live log reader"));
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

BackgroundReader::~BackgroundReader()
{
    {
        const QMutexLocker lock(&m_receiver->mutex);
        m_receiver->reader = nullptr;
    }
    m_thread->quit();
    if (m_thread->wait(QDeadlineTimer(shutdownWait))) {
        delete m_thread;
        return;
    }
    // The thread is left to the end of the process: destroying a running QThread aborts.
    readLeftRunning = true;
}

bool BackgroundReader::anyReadLeftRunning()
{
    return readLeftRunning;
}

void BackgroundReader::run(Read read, Done done)
{
    QMetaObject::invokeMethod(m_worker, [receiver = m_receiver, read = std::move(read),
                                         done = std::move(done)] {
        FileReadResult result = read();
        const QMutexLocker lock(&receiver->mutex);
        if (receiver->reader)
            QMetaObject::invokeMethod(receiver->reader, [done, result = std::move(result)] { done(result); });
    });
}

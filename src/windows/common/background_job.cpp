#include "windows/common/background_job.h"

#include <QThread>

BackgroundJob::BackgroundJob(const QString& name, QObject* parent)
    : QObject(parent)
{
    setObjectName(name);
}

BackgroundJob::~BackgroundJob()
{
    if (m_thread)
        m_thread->wait();
}

void BackgroundJob::start(Job job)
{
    if (m_thread)
        return;
    m_thread.reset(QThread::create([this, job = std::move(job)] {
        std::function<void()> deliver = job();
        // Queued to this object: should it be destroyed first, the delivery is dropped with it.
        QMetaObject::invokeMethod(
            this,
            [this, deliver = std::move(deliver)] {
                m_thread->wait();
                m_thread.reset();
                deliver();
            },
            Qt::QueuedConnection);
    }));
    m_thread->setObjectName(objectName());
    m_thread->start();
}

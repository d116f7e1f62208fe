#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QThread;

// Runs one blocking job at a time (a post, a clear) on a thread of its own and hands its result back on
// this object's thread, so that the window keeps painting and answering while a share is slow or dead.
// A job is never given up: it may hold the live log's lock, which only its own end releases.
class BackgroundJob final : public QObject
{
    Q_OBJECT

public:
    BackgroundJob(const QString& name, QObject* parent);
    // Waits for a job still under way; its result is dropped.
    ~BackgroundJob() override;

    // From the start of a job until its done has run.
    bool isRunning() const { return m_thread != nullptr; }

    // Runs work on the job's thread, then done(result) here. Nothing starts while a job is running.
    template <typename Work, typename Done> void run(Work work, Done done)
    {
        start([work = std::move(work), done = std::move(done)]() mutable -> std::function<void()> {
            return [done = std::move(done), result = work()] {
                done(result);
            };
        });
    }

private:
    // The work part returns the part to run on this object's thread.
    using Job = std::function<std::function<void()>()>;
    void start(Job job);

    std::unique_ptr<QThread> m_thread;
};

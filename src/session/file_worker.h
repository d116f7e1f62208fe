#pragma once

#include "platform/files/file_access.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

class QThreadPool;

// Every blocking file call of the program (refresh reads, posts, clears) runs here, off the window's
// thread, so that a slow or dead share never freezes a window; each result comes back on this object's
// thread, where every decision is made. A read stuck on a share that does not answer is given up on
// after its time limit and left to end on its own; the next read does not queue behind it, nor behind a
// post, unless the backend itself makes its calls take turns (see SmbContext). A post or a clear is never
// given up on: it may hold the live log's lock, which only its own end releases. The work holds the file
// backends by shared ownership, so a call still stuck when this object goes only keeps them alive.
class FileWorker final : public QObject
{
    Q_OBJECT

public:
    // A little over the file-server backend's own limit, so that its more precise reason comes first.
    static constexpr std::chrono::milliseconds defaultReadTimeLimit{5000};
    // How long the end of the program waits for reads still under way.
    static constexpr std::chrono::milliseconds defaultShutdownWait{2000};

    FileWorker(std::shared_ptr<FileAccess> files, QObject* parent);
    ~FileWorker() override;

    using ReadDone = std::function<void(const FileReadResult&)>;
    // Reads through work; done runs later on this object's thread with the result or, once the time limit
    // has passed, with a failure to read path. Nothing is delivered after shutdown.
    void read(const QString& path, std::function<FileReadResult(FileAccess&)> work, ReadDone done)
    {
        readAs<FileReadResult>(path, std::move(work), std::move(done));
    }
    // The same for a read whose result is a Result with a FileError error, which a failure sets.
    template <typename Result, typename Work, typename Done>
    void readAs(const QString& path, Work work, Done done)
    {
        startRead(
            path,
            [work = std::move(work), done](FileAccess& files) mutable {
                return std::function<void()>([done, result = Result(work(files))] { done(result); });
            },
            [done](const FileError& error) {
                Result result;
                result.error = error;
                done(result);
            });
    }

    // Runs work, a post or a clear, then done(result) here. Nothing starts while one is under way.
    template <typename Work, typename Done> void change(const QString& name, Work work, Done done)
    {
        startChange(name, [work = std::move(work), done = std::move(done)](FileAccess& files) mutable {
            return std::function<void()>([done = std::move(done), result = work(files)] { done(result); });
        });
    }
    // From the start of a post or clear until its done has run.
    bool isChanging() const { return m_changeId != 0; }

    void setReadTimeLimit(std::chrono::milliseconds limit) { m_readTimeLimit = limit; }

    // Waits for every post and clear under way, and until deadline for the reads not given up on yet;
    // from then on nothing more is delivered. Names what is still running: it ends on its own.
    QStringList shutdown(QDeadlineTimer deadline);

signals:
    // After a post's or clear's done has run.
    void changeEnded();
    // After a read's done has run, with its result or as given up on.
    void readEnded();

private:
    struct Shared;
    // The part of a job that runs on the pool; it returns the part that runs on this object's thread.
    using Job = std::function<std::function<void()>(FileAccess&)>;
    enum class Lane
    {
        read,
        change,
    };
    struct Pending
    {
        Lane lane;
        QString key;
        // Runs when the read is given up on; empty for a change.
        std::function<void()> giveUp;
    };

    void startRead(const QString& path, Job job, std::function<void(const FileError&)> failed);
    void startChange(const QString& name, Job job);
    quint64 start(Lane lane, const QString& key, Job job);
    void deliver(quint64 id, const std::function<void()>& done);
    void giveUp(quint64 id);
    qsizetype readsGivenUpStillRunning(const QString& path) const;

    std::shared_ptr<FileAccess> m_files;
    std::shared_ptr<Shared> m_shared;
    // Released rather than destroyed when work is left running: its destructor would wait for it.
    std::unique_ptr<QThreadPool> m_pool;
    std::chrono::milliseconds m_readTimeLimit = defaultReadTimeLimit;
    quint64 m_lastId = 0;
    quint64 m_changeId = 0;
    std::map<quint64, Pending> m_pending;
    bool m_shutDown = false;
};

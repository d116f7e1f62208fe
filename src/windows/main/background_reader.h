#pragma once

#include "platform/file_access.h"

#include <QObject>
#include <functional>
#include <memory>

class QThread;

// Runs the refresh's blocking file reads on one worker thread, so that a slow or dead share never
// freezes the window. Only the file call moves there: results come back to the user-interface thread,
// where every decision is made.
class BackgroundReader final : public QObject
{
public:
    explicit BackgroundReader(QObject* parent);
    ~BackgroundReader() override;

    using Read = std::function<FileReadResult()>;
    using Done = std::function<void(const FileReadResult&)>;
    // Runs read on the worker thread; done runs later on this object's thread, unless this object is gone.
    void run(Read read, Done done);

    // Whether a reader went while its read was still stuck on a share: that read may still call the
    // file access it was given, which must then outlive it.
    static bool anyReadLeftRunning();

private:
    struct Receiver;

    std::shared_ptr<Receiver> m_receiver;
    QThread* m_thread;
    QObject* m_worker;
};

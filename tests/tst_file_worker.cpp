#include "fakes/fault_injecting_file_access.h"
#include "session/file_worker.h"
#include "support/platform_texts.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWaitCondition>

namespace {

// A share whose calls do not return while it is stuck, as on a hung network mount.
class StuckShare final : public FaultInjectingFileAccess
{
public:
    FileReadResult readAll(const QString& path) override
    {
        waitWhileStuck();
        return FaultInjectingFileAccess::readAll(path);
    }
    FileError writeAll(const QString& path, const QByteArray& bytes, Create mode) override
    {
        waitWhileStuck();
        return FaultInjectingFileAccess::writeAll(path, bytes, mode);
    }
    void setStuck(bool stuck)
    {
        QMutexLocker locker(&m_stuckMutex);
        m_stuck = stuck;
        m_answering.wakeAll();
    }
    int callsUnderWay()
    {
        QMutexLocker locker(&m_stuckMutex);
        return m_inside;
    }
    void waitForCallsUnderWay(int count)
    {
        QMutexLocker locker(&m_stuckMutex);
        while (m_inside < count)
            m_entered.wait(&m_stuckMutex);
    }

private:
    void waitWhileStuck()
    {
        QMutexLocker locker(&m_stuckMutex);
        ++m_inside;
        m_entered.wakeAll();
        while (m_stuck)
            m_answering.wait(&m_stuckMutex);
        --m_inside;
    }

    QMutex m_stuckMutex;
    QWaitCondition m_answering;
    QWaitCondition m_entered;
    bool m_stuck = false;
    int m_inside = 0;
};

FileReadResult readLog(FileAccess& files, const QString& path)
{
    return files.readAll(path);
}

} // namespace

class FileWorkerTest : public QObject
{
    Q_OBJECT

private slots:
    void resultsComeBackOnTheCallersThread();
    void stuckReadsAreGivenUpOn();
    void readsPassAStuckPost();
    void shutdownSaysWhatItLeftBehind();
};

void FileWorkerTest::resultsComeBackOnTheCallersThread()
{
    QTemporaryDir share;
    const QString path = PlatformTexts::logPathIn(share.path());
    const auto files = std::make_shared<FaultInjectingFileAccess>();
    QVERIFY(!files->writeAll(path, "log \r\n", FileAccess::Create::replacingContent).failed());
    FileWorker worker(files, nullptr);
    QThread* readOn = nullptr;
    FileReadResult read;
    worker.read(
        path,
        [&](FileAccess& access) {
            readOn = QThread::currentThread();
            return readLog(access, path);
        },
        [&](const FileReadResult& result) {
            QCOMPARE(QThread::currentThread(), worker.thread());
            read = result;
        });
    QSignalSpy readEnded(&worker, &FileWorker::readEnded);
    QVERIFY(readEnded.wait(5000));
    QCOMPARE(read.bytes, QByteArray("log \r\n"));
    QVERIFY(readOn != worker.thread());

    // One change at a time: a second one asked for meanwhile does not start.
    int changes = 0;
    worker.change(
        QStringLiteral("first"), [](FileAccess&) { return 1; }, [&](int) { ++changes; });
    worker.change(
        QStringLiteral("second"), [](FileAccess&) { return 2; }, [&](int) { ++changes; });
    QVERIFY(worker.isChanging());
    QSignalSpy changeEnded(&worker, &FileWorker::changeEnded);
    QVERIFY(changeEnded.wait(5000));
    QVERIFY(!worker.isChanging());
    QCOMPARE(changes, 1);
    QVERIFY(worker.shutdown(QDeadlineTimer(0)).isEmpty());
}

// However many reads stay stuck, every one ends and says which file it cannot read; past a few of one
// path, no further thread is spent on it. Once the share answers, reads show the log again.
void FileWorkerTest::stuckReadsAreGivenUpOn()
{
    QTemporaryDir share;
    const QString path = PlatformTexts::logPathIn(share.path());
    const auto files = std::make_shared<StuckShare>();
    QVERIFY(
        !files->FaultInjectingFileAccess::writeAll(path, "hello \r\n", FileAccess::Create::replacingContent)
             .failed());
    files->setStuck(true);
    {
        FileWorker worker(files, nullptr);
        worker.setReadTimeLimit(std::chrono::milliseconds(50));
        QStringList messages;
        QSignalSpy ended(&worker, &FileWorker::readEnded);
        for (int round = 0; round < 6; ++round) {
            worker.read(
                path, [&](FileAccess& access) { return readLog(access, path); },
                [&](const FileReadResult& result) { messages << result.error.message; });
            QVERIFY(ended.wait(5000));
        }
        QCOMPARE(files->callsUnderWay(), 4);
        for (int round = 0; round < 4; ++round)
            QCOMPARE(messages.at(round), "Cannot read " + path +
                                             ": the read did not finish within 0.05 seconds; the share does "
                                             "not answer.");
        QCOMPARE(messages.at(5),
                 "Cannot read " + path +
                     ": the last 4 reads of it have not finished; the share does not answer.");

        files->setStuck(false);
        QTRY_COMPARE(files->callsUnderWay(), 0);
        // The worker hears that the given-up reads have ended a moment after the share answers: until
        // then a read may still be refused as one too many, as a refresh tick would be.
        FileReadResult read;
        for (int tick = 0; tick < 100 && read.bytes.isEmpty(); ++tick) {
            worker.read(
                path, [&](FileAccess& access) { return readLog(access, path); },
                [&](const FileReadResult& result) { read = result; });
            QVERIFY(ended.wait(5000));
            if (read.bytes.isEmpty())
                QTest::qWait(10);
        }
        QCOMPARE(read.bytes, QByteArray("hello \r\n"));
    }
}

void FileWorkerTest::readsPassAStuckPost()
{
    QTemporaryDir share;
    const QString path = PlatformTexts::logPathIn(share.path());
    const auto files = std::make_shared<StuckShare>();
    QVERIFY(!files->FaultInjectingFileAccess::writeAll(path, "log \r\n", FileAccess::Create::replacingContent)
                 .failed());
    files->setStuck(true);
    FileWorker worker(files, nullptr);
    worker.change(
        QStringLiteral("post"),
        [&](FileAccess& access) {
            return access.writeAll(path, "new \r\n", FileAccess::Create::replacingContent);
        },
        [](const FileError&) {});
    files->waitForCallsUnderWay(1);

    // The post waits on the share; a read of the same share, which this backend lets run beside it, does not.
    QByteArray read;
    worker.read(
        path, [&](FileAccess&) { return files->FaultInjectingFileAccess::readAll(path); },
        [&](const FileReadResult& result) { read = result.bytes; });
    QSignalSpy readEnded(&worker, &FileWorker::readEnded);
    QVERIFY(readEnded.wait(5000));
    QVERIFY(worker.isChanging());

    // A post is never given up on: the end waits for it.
    files->setStuck(false);
    QVERIFY(worker.shutdown(QDeadlineTimer(0)).isEmpty());
    QCOMPARE(files->readAll(path).bytes, QByteArray("new \r\n"));
}

// A read still stuck at the end is left to finish on its own; the backend it uses stays alive until then,
// though everything else has let it go.
void FileWorkerTest::shutdownSaysWhatItLeftBehind()
{
    QTemporaryDir share;
    const QString path = PlatformTexts::logPathIn(share.path());
    auto files = std::make_shared<StuckShare>();
    const std::weak_ptr<StuckShare> backend = files;
    StuckShare* stuck = files.get();
    stuck->setStuck(true);
    bool delivered = false;
    {
        FileWorker worker(files, nullptr);
        files.reset();
        worker.read(
            path, [&](FileAccess& access) { return readLog(access, path); },
            [&](const FileReadResult&) { delivered = true; });
        stuck->waitForCallsUnderWay(1);
        QCOMPARE(worker.shutdown(QDeadlineTimer(20)), QStringList{path});
    }
    QVERIFY(!backend.expired());
    stuck->setStuck(false);
    QTRY_VERIFY(backend.expired());
    QCoreApplication::processEvents();
    QVERIFY(!delivered);
}

QTEST_MAIN(FileWorkerTest)
#include "tst_file_worker.moc"

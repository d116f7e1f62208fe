#include "support/session_fixture.h"

#include "session/file_worker.h"
#include "session/interval_timer.h"
#include "support/log_file.h"
#include "support/platform_texts.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Far longer than any test: the timer ticks only when fired.
constexpr std::chrono::hours neverByItself{1};

} // namespace

SessionFixture::SessionFixture(std::shared_ptr<FaultInjectingFileAccess> files)
    : sharedFiles(std::move(files))
    , files(*sharedFiles)
    , session(sharedFiles, workstation, prompts, neverByItself, nullptr)
{
    QObject::connect(&session, &ChatSession::statusShown, &session,
                     [this](ChatSession::Status status) { statuses << status; });
    QObject::connect(&session, &ChatSession::logRead, &session,
                     [this](const IndexedLog& log) { logs << log.bytes(); });
    QObject::connect(&session, &ChatSession::readFailed, &session,
                     [this](const FileError& error) { failures << error.message; });
    QObject::connect(&session, &ChatSession::posted, &session, [this] { ++posted; });
    QObject::connect(&session, &ChatSession::postEnded, &session, [this] { ++postsEnded; });
    QObject::connect(&session, &ChatSession::closeWanted, &session, [this] { ++closesWanted; });
}

QString SessionFixture::logPath() const
{
    return PlatformTexts::logPathIn(m_shareDir.path());
}

void SessionFixture::writeLog(const QByteArray& bytes) const
{
    writeLogFile(logPath(), bytes);
}

QByteArray SessionFixture::readLog() const
{
    return readLogFile(logPath(), "<missing>");
}

void SessionFixture::load(bool withShare, bool ticked)
{
    session.setShareLocation(withShare ? share() : QString());
    session.switchAutoRefresh(ticked && withShare);
    session.finishLoad(ticked && withShare);
}

IntervalTimer& SessionFixture::refreshTimer() const
{
    return *session.findChild<IntervalTimer*>(QStringLiteral("MAIN_TEXT_REFRESH_TIMER"));
}

FileWorker& SessionFixture::worker() const
{
    return session.worker();
}

void SessionFixture::tick()
{
    QVERIFY(refreshTimer().isRunning());
    QSignalSpy ended(&worker(), &FileWorker::readEnded);
    refreshTimer().fire();
    QVERIFY(ended.wait(5000));
}

void SessionFixture::waitForRead()
{
    QSignalSpy ended(&worker(), &FileWorker::readEnded);
    QVERIFY(ended.wait(5000));
}

void SessionFixture::waitForChange()
{
    QSignalSpy ended(&worker(), &FileWorker::changeEnded);
    while (worker().isChanging())
        QVERIFY(ended.wait(5000));
}

#include "fakes/fake_clock.h"
#include "fakes/fake_process_probe.h"
#include "fakes/fault_injecting_file_access.h"
#include "livelog/live_log.h"
#include "livelog/live_log_format.h"
#include "livelog/this_workstation.h"
#include "platform/files/native_file_ops.h"
#include "support/platform_texts.h"
#include "text/code_page.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#if !defined(Q_OS_WIN)
#include <sys/stat.h>
#endif

#if defined(Q_OS_LINUX)
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

// Root passes every permission check, and the suite may run as root: with these two capabilities out
// of effect (for the calling thread) it meets them as the owner of a file does.
class PermissionChecksForRoot
{
public:
    PermissionChecksForRoot()
    {
#if defined(Q_OS_LINUX)
        if (::geteuid() != 0 || ::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_changed = ::syscall(SYS_capset, &m_header, reduced) == 0;
#endif
    }
    ~PermissionChecksForRoot()
    {
#if defined(Q_OS_LINUX)
        if (m_changed)
            ::syscall(SYS_capset, &m_header, m_saved);
#endif
    }
    PermissionChecksForRoot(const PermissionChecksForRoot&) = delete;
    PermissionChecksForRoot& operator=(const PermissionChecksForRoot&) = delete;

private:
#if defined(Q_OS_LINUX)
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_changed = false;
#endif
};

} // namespace

class LiveLogTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pathIsPlainConcatenation();
    void postsGiveTheExactBytes();
    void ownTextWithLineBreaks();
    void clearCreatesOrResetsTheLog();
    void missingLogFailsAndIsNotCreated();
    void failedReadWritesNothing();
    void failedWriteKeepsOldLog();
    void serverSharePathsOffWindows();
    void readsToTheEndWhateverTheReportedSize_data();
    void readsToTheEndWhateverTheReportedSize();
    void logThatIsAFolder();
    void logThatIsNoPlainFile_data();
    void logThatIsNoPlainFile();
    void faultsLoseNothing_data();
    void faultsLoseNothing();
    void shareThatDisappearsAndComesBack();
    void lockLeftByAGivenUpCreate_data();
    void lockLeftByAGivenUpCreate();
    void busyFilesAreTriedAgain_data();
    void busyFilesAreTriedAgain();
    void refusalsAreNotRetried_data();
    void refusalsAreNotRetried();
    void lockOfAnotherWorkstation_data();
    void lockOfAnotherWorkstation();
    void lockOfAProcessOfThisMachine();
    void oddLocksEndUpRemoved_data();
    void oddLocksEndUpRemoved();
    void leftoversOfACrashedWriter();
    void logMovedAsideByAnInterruptedReplace();
    void everyByteDecodesAndRoundTrips();
    void unencodableCharactersAreNamed_data();
    void unencodableCharactersAreNamed();

private:
    QByteArray log() const;
    QString logPath() const { return PlatformTexts::logPathIn(m_share->path()); }
    QString lockPath() const { return logPath() + QStringLiteral(".LOCK"); }
    void writeLock(const QByteArray& content, std::chrono::seconds age) const;
    // The share's files get their times from the test's clock, as from a file server's.
    void dateByTheClock(FaultInjectingFileAccess& files) const;
    QStringList filesInShare() const { return QDir(m_share->path()).entryList(QDir::Files); }

    std::unique_ptr<QTemporaryDir> m_share;
    FaultInjectingFileAccess m_files;
    std::shared_ptr<FakeClock> m_clock;
    std::shared_ptr<FakeProcessProbe> m_processes;
    std::shared_ptr<LiveLog::Workstation> m_station;
};

namespace {

// The waits run in virtual time, which leaves the disk: every try for a lock flushes a file. In memory,
// where the system has such a folder, those flushes cost nothing.
QString shareTemplate()
{
#if defined(Q_OS_LINUX)
    if (const QFileInfo memory(QStringLiteral("/dev/shm")); memory.isDir() && memory.isWritable())
        return memory.filePath() + QStringLiteral("/tst_live_log-XXXXXX");
#endif
    return QDir::tempPath() + QStringLiteral("/tst_live_log-XXXXXX");
}

} // namespace

void LiveLogTest::init()
{
    m_share = std::make_unique<QTemporaryDir>(shareTemplate());
    QVERIFY(m_share->isValid());
    m_files.failReads({});
    m_files.failWrites({});
    m_files.makeReadOnly({});
    m_files.fillDiskDuringWrites({});
    m_files.loseCreateAnswers({});
    m_files.busyFor(FaultInjectingFileAccess::Operation::read, 0);
    m_files.busyFor(FaultInjectingFileAccess::Operation::replace, 0);
    m_files.busyFor(FaultInjectingFileAccess::Operation::remove, 0);
    m_clock = std::make_shared<FakeClock>();
    m_processes = std::make_shared<FakeProcessProbe>();
    m_station =
        std::make_shared<LiveLog::Workstation>(LiveLog::Writer::ofThisProcess(), m_clock, m_processes);
    dateByTheClock(m_files);
}

void LiveLogTest::dateByTheClock(FaultInjectingFileAccess& files) const
{
    files.stampTimesFrom([clock = m_clock] { return clock->utcNow(); });
}

// The lock's time is set on the share's own clock, which here is the test's.
void LiveLogTest::writeLock(const QByteArray& content, std::chrono::seconds age) const
{
    QFile file(lockPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    QVERIFY(file.flush());
    QVERIFY(file.setFileTime(m_clock->utcNow().addSecs(-age.count()), QFileDevice::FileModificationTime));
}

QByteArray LiveLogTest::log() const
{
    QFile file(m_share->filePath(QStringLiteral("CHATSLATE-LIVE.LOG")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void LiveLogTest::pathIsPlainConcatenation()
{
    QCOMPARE(LiveLogFormat::liveLogPath(QStringLiteral("\\\\SERVER\\Share")),
             QStringLiteral("\\\\SERVER\\Share\\CHATSLATE-LIVE.LOG"));
    QCOMPARE(LiveLogFormat::liveLogPath(QStringLiteral("\\\\SERVER\\Share\\")),
             QStringLiteral("\\\\SERVER\\Share\\\\CHATSLATE-LIVE.LOG"));
    QCOMPARE(LiveLogFormat::liveLogPath(QStringLiteral("\\\\IP\\Share  ")),
             QStringLiteral("\\\\IP\\Share  \\CHATSLATE-LIVE.LOG"));
}

void LiveLogTest::postsGiveTheExactBytes()
{
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    QCOMPARE(log(), QByteArray("\r\n"));

    QVERIFY(!LiveLog::post(m_files, *m_station, share, "hello").failed());
    const LiveLog::PostResult second = LiveLog::post(m_files, *m_station, share, "hi");
    QVERIFY(!second.failed());
    QCOMPARE(second.read.bytes, QByteArray("hello \r\n \r\n\r\n\r\n"));
    const QByteArray expected("hi \r\n \r\nhello \r\n \r\n\r\n\r\n\r\n");
    QCOMPARE(log(), expected);
    QCOMPARE(LiveLog::read(m_files, *m_station, share).bytes, expected);

    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    QVERIFY(!LiveLog::post(m_files, *m_station, share, QByteArray()).failed());
    QCOMPARE(log(), QByteArray(" \r\n \r\n\r\n\r\n"));
}

void LiveLogTest::ownTextWithLineBreaks()
{
    const QString share = m_share->path();
    const QByteArray old("older \r\n \r\n\r\n\x00\xff\r\n", 16);
    QFile file(m_share->filePath(QStringLiteral("CHATSLATE-LIVE.LOG")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(old);
    file.close();
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "a\r\nb").failed());
    // Entries already there keep every byte, NUL and invalid bytes included.
    QCOMPARE(log(), QByteArray("a\r\nb \r\n \r\n") + old + "\r\n");
}

void LiveLogTest::clearCreatesOrResetsTheLog()
{
    const QString share = m_share->path();
    QCOMPARE(log(), QByteArray("<missing>"));
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    QCOMPARE(log(), QByteArray("\r\n"));
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "x").failed());
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    QCOMPARE(log(), QByteArray("\r\n"));
}

void LiveLogTest::missingLogFailsAndIsNotCreated()
{
    const FileReadResult result = LiveLog::read(m_files, *m_station, m_share->path());
    QVERIFY(result.error.failed());
    QVERIFY(result.error.is(FileError::Kind::missing));
    QVERIFY(result.error.message.contains(m_share->path()));
    // The system's reason ends as a sentence, and the advice is a paragraph of its own.
    QVERIFY(LiveLog::describe(result.error)
                .endsWith(PlatformTexts::fileNotFound +
                          QStringLiteral(".\n\nThe live log is created by \"Clear Live Log\" in the "
                                         "settings window.")));
    const LiveLog::PostResult lost = LiveLog::post(m_files, *m_station, m_share->path(), "lost?");
    QVERIFY(lost.failed());
    QVERIFY(LiveLog::describe(lost).contains(QStringLiteral("\"Clear Live Log\"")));
    QCOMPARE(log(), QByteArray("<missing>"));

    // A missing folder is not a missing log: creating the log would not help.
    const QString gone = m_share->filePath(QStringLiteral("gone"));
    const QString goneRead = LiveLog::describe(LiveLog::read(m_files, *m_station, gone).error);
    QVERIFY2(goneRead.contains(QStringLiteral("the shared folder %1 does not exist").arg(gone)) &&
                 !goneRead.contains(QStringLiteral("Clear Live Log")),
             qPrintable(goneRead));
    QVERIFY(LiveLog::clear(m_files, *m_station, gone).failed());
    const LiveLog::PostResult noFolder = LiveLog::post(m_files, *m_station, gone, "lost?");
    QVERIFY(noFolder.failed());
    QVERIFY2(!LiveLog::describe(noFolder).contains(QStringLiteral("Clear Live Log")),
             qPrintable(LiveLog::describe(noFolder)));
}

void LiveLogTest::failedReadWritesNothing()
{
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    m_files.failReads(QStringLiteral("Cannot read %1: the network name is no longer available"));
    const LiveLog::PostResult result = LiveLog::post(m_files, *m_station, share, "text");
    QVERIFY(result.failed());
    QVERIFY(result.error().message.contains(share));
    QCOMPARE(log(), QByteArray("\r\n"));
    // Neither a temporary file nor the lock is left beside the log.
    QCOMPARE(QDir(share).entryList(QDir::Files), QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});
}

void LiveLogTest::failedWriteKeepsOldLog()
{
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "kept").failed());
    const QByteArray before = log();
    m_files.failWrites(QStringLiteral("Cannot write %1: no space left on device"));
    QVERIFY(LiveLog::post(m_files, *m_station, share, "new").failed());
    QVERIFY(LiveLog::clear(m_files, *m_station, share).failed());
    QCOMPARE(log(), before);
    // No temporary file is left beside the log.
    QCOMPARE(QDir(share).entryList(QDir::Files), QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});
}

void LiveLogTest::serverSharePathsOffWindows()
{
#if defined(Q_OS_WIN)
    QSKIP("Windows opens \\\\SERVER\\Share paths itself");
#else
    QCOMPARE(LocalFileAccess::nativePath(QStringLiteral("/mnt/chat\\CHATSLATE-LIVE.LOG")),
             QStringLiteral("/mnt/chat/CHATSLATE-LIVE.LOG"));
    // A folder given with backslashes reaches the same file.
    QDir(m_share->path()).mkdir(QStringLiteral("sub"));
    QString backslashed = m_share->path() + QStringLiteral("\\sub");
    QVERIFY(!LiveLog::clear(m_files, *m_station, backslashed).failed());
    QVERIFY(QFile::exists(m_share->filePath(QStringLiteral("sub/CHATSLATE-LIVE.LOG"))));

    const FileReadResult unc = LiveLog::read(m_files, *m_station, QStringLiteral("\\\\SERVER\\Share"));
    QVERIFY(unc.error.failed());
    QVERIFY(unc.error.message.contains(QStringLiteral("\\\\SERVER\\Share\\CHATSLATE-LIVE.LOG")));
    QVERIFY(unc.error.message.contains(QStringLiteral("not a local path")));
    QVERIFY(LiveLog::clear(m_files, *m_station, QStringLiteral("\\\\SERVER\\Share")).failed());
#endif
}

namespace {
constexpr int sizeOfFileRead = 200'000;
} // namespace

// A network file system may report a stale size, and the system may hand a file over in pieces.
void LiveLogTest::readsToTheEndWhateverTheReportedSize_data()
{
    QTest::addColumn<int>("reportedSize");
    QTest::addColumn<int>("piece");
    QTest::addColumn<int>("maxBytes");
    const int size = sizeOfFileRead;
    QTest::newRow("size unknown") << 0 << size << size * 2;
    QTest::newRow("size as reported") << size + 1 << size << size * 2;
    QTest::newRow("grown since reported") << 10 << 7'000 << size * 2;
    QTest::newRow("shrunk since reported") << size * 3 << 65'536 << size * 4;
    QTest::newRow("cut at the limit") << size + 1 << 4'096 << 4'097;
    QTest::newRow("cut at the limit while growing") << 10 << 7'000 << 100'000;
}

void LiveLogTest::readsToTheEndWhateverTheReportedSize()
{
    QFETCH(int, reportedSize);
    QFETCH(int, piece);
    QFETCH(int, maxBytes);
    QByteArray file(sizeOfFileRead, Qt::Uninitialized);
    for (int i = 0; i < file.size(); ++i)
        file[i] = char('a' + i % 23);
    qsizetype delivered = 0;
    const auto readSome = [&](char* into, std::size_t wanted, std::size_t& count) {
        count = std::min({wanted, std::size_t(piece), std::size_t(file.size() - delivered)});
        std::copy_n(file.constData() + delivered, count, into);
        delivered += qsizetype(count);
        return NativeFileOps::Status{};
    };
    QByteArray bytes;
    const auto resize = [&bytes](std::size_t size) {
        bytes.resize(qsizetype(size));
        return bytes.data();
    };
    QVERIFY(
        NativeFileOps::readInPlace(resize, std::size_t(reportedSize), std::size_t(maxBytes), readSome).ok());
    QCOMPARE(bytes, file.first(std::min<qsizetype>(file.size(), maxBytes)));

    const auto failing = [](char*, std::size_t, std::size_t&) {
        return NativeFileOps::Status{NativeFileOps::Failure::other, "I/O error"};
    };
    QCOMPARE(NativeFileOps::readInPlace(resize, std::size_t(reportedSize), std::size_t(maxBytes), failing)
                 .description,
             "I/O error");
}

void LiveLogTest::logThatIsAFolder()
{
    QVERIFY(QDir(m_share->path()).mkdir(QStringLiteral("CHATSLATE-LIVE.LOG")));
    QVERIFY(LiveLog::read(m_files, *m_station, m_share->path()).error.failed());
    QVERIFY(LiveLog::post(m_files, *m_station, m_share->path(), "x").failed());
    QVERIFY(LiveLog::clear(m_files, *m_station, m_share->path()).failed());
    QVERIFY(QFileInfo(m_share->filePath(QStringLiteral("CHATSLATE-LIVE.LOG"))).isDir());
}

void LiveLogTest::logThatIsNoPlainFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("messagePart");
    QTest::newRow("named pipe") << "fifo" << false << "named pipe";
    QTest::newRow("link to a device") << "device" << false << "a device";
    QTest::newRow("link to a file outside the share") << "outside" << true << "symbolic link";
}

// Nothing blocks on it, nothing is written through it, and no rename puts a plain file in its place.
void LiveLogTest::logThatIsNoPlainFile()
{
#if defined(Q_OS_WIN)
    QSKIP("FIFOs and devices are POSIX file kinds");
#else
    QFETCH(QString, kind);
    QFETCH(bool, readable);
    QFETCH(QString, messagePart);
    const QString share = m_share->path();
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(QStringLiteral("log"));
    if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(logPath()).constData(), 0600), 0);
    } else {
        QFile target(outside);
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("outside \r\n \r\n\r\n\r\n");
        target.close();
        QVERIFY(QFile::link(kind == "device" ? QStringLiteral("/dev/null") : outside, logPath()));
    }
    const QFileInfo before(logPath());

    const FileReadResult read = LiveLog::read(m_files, *m_station, share);
    QCOMPARE(read.error.failed(), !readable);
    if (!readable)
        QVERIFY2(read.error.message.contains(messagePart) && read.error.message.contains(logPath()),
                 qPrintable(read.error.message));
    const LiveLog::PostResult post = LiveLog::post(m_files, *m_station, share, "x");
    QVERIFY(post.failed());
    QVERIFY2(post.error().message.contains(messagePart), qPrintable(post.error().message));
    QVERIFY(LiveLog::clear(m_files, *m_station, share).failed());

    const QFileInfo after(logPath());
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(after.isFile(), before.isFile());
    QFile target(outside);
    if (target.open(QIODevice::ReadOnly))
        QCOMPARE(target.readAll(), QByteArray("outside \r\n \r\n\r\n\r\n"));
    QCOMPARE(QDir(share).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});
#endif
}

void LiveLogTest::faultsLoseNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("messagePart");
    QTest::newRow("share turns read-only") << "read-only"
                                           << "Read-only file system";
    QTest::newRow("disk fills up during the write") << "disk full"
                                                    << "No space left on device";
    QTest::newRow("log replaced by a folder") << "folder" << PlatformTexts::isAFolder;
}

void LiveLogTest::faultsLoseNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, messagePart);
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "kept").failed());
    const QByteArray before = log();
    if (fault == "read-only") {
        m_files.makeReadOnly(QStringLiteral("Cannot write %1: Read-only file system"));
    } else if (fault == "disk full") {
        m_files.fillDiskDuringWrites(QStringLiteral("Cannot write %1: No space left on device"));
    } else {
        QVERIFY(QFile::remove(logPath()));
        QVERIFY(QDir(share).mkdir(QStringLiteral("CHATSLATE-LIVE.LOG")));
    }

    const LiveLog::PostResult post = LiveLog::post(m_files, *m_station, share, "new");
    QVERIFY(post.failed());
    QVERIFY2(post.error().message.contains(messagePart), qPrintable(post.error().message));
    QVERIFY(post.error().message.contains(QStringLiteral("CHATSLATE-LIVE.LOG")));
    const FileError clear = LiveLog::clear(m_files, *m_station, share);
    QVERIFY(clear.failed());
    QVERIFY2(clear.message.contains(messagePart), qPrintable(clear.message));

    if (fault == "folder") {
        QVERIFY(QFileInfo(logPath()).isDir());
        QCOMPARE(filesInShare(), QStringList());
        return;
    }
    QCOMPARE(log(), before);
    QCOMPARE(filesInShare(), QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});
    // Once the fault is gone the next post goes through, in front of what was kept.
    m_files.makeReadOnly({});
    m_files.fillDiskDuringWrites({});
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "new").failed());
    QCOMPARE(log(), "new \r\n \r\n" + before + "\r\n");
}

void LiveLogTest::shareThatDisappearsAndComesBack()
{
    QTemporaryDir parent;
    const QString share = parent.filePath(QStringLiteral("share"));
    const QString away = parent.filePath(QStringLiteral("away"));
    QVERIFY(QDir().mkdir(share));
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "before").failed());
    const QByteArray before = LiveLog::read(m_files, *m_station, share).bytes;

    QVERIFY(QDir().rename(share, away));
    const FileReadResult tick = LiveLog::read(m_files, *m_station, share);
    QVERIFY(tick.error.failed());
    QVERIFY(tick.error.message.contains(share));
    const LiveLog::PostResult post = LiveLog::post(m_files, *m_station, share, "during");
    QVERIFY(post.failed());
    QVERIFY(post.error().message.contains(share));
    QVERIFY(!QFileInfo::exists(share));

    QVERIFY(QDir().rename(away, share));
    const FileReadResult nextTick = LiveLog::read(m_files, *m_station, share);
    QVERIFY(!nextTick.error.failed());
    QCOMPARE(nextTick.bytes, before);
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "after").failed());
    QCOMPARE(LiveLog::read(m_files, *m_station, share).bytes,
             QByteArray("after \r\n \r\n") + before + "\r\n");
}

void LiveLogTest::lockLeftByAGivenUpCreate_data()
{
    QTest::addColumn<bool>("readFirst");
    QTest::newRow("next refresh") << true;
    QTest::newRow("next post") << false;
}

// The file server carried out the lock's create only after the post had given up waiting for it.
void LiveLogTest::lockLeftByAGivenUpCreate()
{
    QFETCH(bool, readFirst);
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    m_files.loseCreateAnswers(QStringLiteral("Cannot write %1: the server cannot be reached"));
    QVERIFY(LiveLog::post(m_files, *m_station, share, "lost").lock.is(FileError::Kind::serverUnreachable));
    QCOMPARE(QFileInfo(lockPath()).size(), 0);

    // Once the share answers again the empty lock goes, and posts need not wait for it to be stale.
    m_files.loseCreateAnswers({});
    if (readFirst) {
        QVERIFY(!LiveLog::read(m_files, *m_station, share).error.failed());
        QVERIFY(!QFileInfo::exists(lockPath()));
    }
    const LiveLog::Timing noWaiting{std::chrono::milliseconds(0)};
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "next", noWaiting).failed());
    QCOMPARE(log(), QByteArray("next \r\n \r\n\r\n\r\n"));
    QCOMPARE(filesInShare(), QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});
}

void LiveLogTest::busyFilesAreTriedAgain_data()
{
    using Operation = FaultInjectingFileAccess::Operation;
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<int>("busyCalls");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("read of a log being replaced") << Operation::read << 3 << true;
    QTest::newRow("rename while another workstation reads") << Operation::replace << 3 << true;
    QTest::newRow("read that stays refused") << Operation::read << 50 << false;
    QTest::newRow("rename that stays refused") << Operation::replace << 50 << false;
    // Waiters keep reading the lock; left behind, it would stop every post until it is stale.
    QTest::newRow("lock removal while waiters read it") << Operation::remove << 10 << true;
}

void LiveLogTest::busyFilesAreTriedAgain()
{
    using Operation = FaultInjectingFileAccess::Operation;
    QFETCH(Operation, operation);
    QFETCH(int, busyCalls);
    QFETCH(bool, succeeds);
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    m_files.busyFor(operation, busyCalls);

    if (operation != Operation::read) {
        const LiveLog::PostResult post = LiveLog::post(m_files, *m_station, share, "x");
        QCOMPARE(post.failed(), !succeeds);
        QCOMPARE(log(), QByteArray(succeeds ? "x \r\n \r\n\r\n\r\n" : "\r\n"));
        if (!succeeds)
            QVERIFY2(post.error().message.contains(share), qPrintable(post.error().message));
    } else {
        const FileReadResult read = LiveLog::read(m_files, *m_station, share);
        QCOMPARE(read.error.failed(), !succeeds);
        QCOMPARE(read.bytes, QByteArray(succeeds ? "\r\n" : ""));
    }
    QCOMPARE(filesInShare(), QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});
}

void LiveLogTest::refusalsAreNotRetried_data()
{
    QTest::addColumn<bool>("posting");
    QTest::newRow("log that may not be read") << false;
    QTest::newRow("share folder that may not be written") << true;
}

// A permission refusal is no file in use: it is reported at once, as it is.
void LiveLogTest::refusalsAreNotRetried()
{
#if defined(Q_OS_WIN)
    QSKIP("Windows refuses through access control lists, which Wine lacks; permission bits set here "
          "neither deny reading a file nor writing into a folder");
#endif
    QFETCH(bool, posting);
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    const QString refusing = posting ? share : logPath();
    const QFile::Permissions before = QFile::permissions(refusing);
    QVERIFY(
        QFile::setPermissions(refusing, posting ? QFile::ReadOwner | QFile::ExeOwner : QFile::Permissions()));
    FileError error;
    {
        const PermissionChecksForRoot asOwner;
        error = posting ? LiveLog::post(m_files, *m_station, share, "x").error()
                        : LiveLog::read(m_files, *m_station, share).error;
    }
    QVERIFY(QFile::setPermissions(refusing, before));
    QVERIFY(error.failed());
    QVERIFY2(error.message.contains(QStringLiteral("Permission denied")), qPrintable(error.message));
    QVERIFY2(error.message.contains(share), qPrintable(error.message));
    QCOMPARE(error.kind, FileError::Kind::refused);
    QCOMPARE(LiveLog::read(m_files, *m_station, share).bytes, QByteArray("\r\n"));
}

void LiveLogTest::lockOfAnotherWorkstation_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("since"); // by the other workstation's clock
    QTest::addColumn<int>("ageOnServer");
    QTest::addColumn<bool>("stale");
    const QString other = QStringLiteral("OTHER-PC");
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    const QString minutesAgo = QDateTime::currentDateTimeUtc().addSecs(-600).toString(Qt::ISODate);
    const QString minutesAhead = QDateTime::currentDateTimeUtc().addSecs(600).toString(Qt::ISODate);
    QTest::newRow("held just now") << other << now << 0 << false;
    QTest::newRow("held just now by a clock minutes behind") << other << minutesAgo << 0 << false;
    QTest::newRow("left by a crashed writer whose clock is minutes ahead")
        << other << minutesAhead << 30 << true;
    QTest::newRow("left by a crashed writer whose clock is right") << other << now << 30 << true;
    // Its process id says nothing here, though it is not one of this machine's.
    QTest::newRow("held just now by a machine of the same name")
        << LiveLog::Writer::ofThisProcess().host << now << 0 << false;
}

void LiveLogTest::lockOfAnotherWorkstation()
{
    QFETCH(QString, host);
    QFETCH(QString, since);
    QFETCH(int, ageOnServer);
    QFETCH(bool, stale);
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    const QByteArray lock =
        "BD-ChatSlate live log lock\r\nhost=" + host.toUtf8() +
        "\r\nmachine=0123456789ab\r\nprocess=999999999\r\ntoken=5eed\r\nsince=" + since.toUtf8() + "\r\n";
    writeLock(lock, std::chrono::seconds(ageOnServer));
    LiveLog::Timing timing;
    timing.lockWait = std::chrono::milliseconds(300);

    const LiveLog::PostResult post = LiveLog::post(m_files, *m_station, share, "mine", timing);
    QCOMPARE(post.failed(), !stale);
    if (stale) {
        QCOMPARE(log(), QByteArray("mine \r\n \r\n\r\n\r\n"));
        QCOMPARE(filesInShare(), QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});
        return;
    }
    const QString message = post.error().message;
    QVERIFY2(message.contains(host) && message.contains("999999999") && message.contains(since),
             qPrintable(message));
    QVERIFY(message.contains(lockPath()) || message.contains(share + "\\CHATSLATE-LIVE.LOG.LOCK"));
    QVERIFY(LiveLog::clear(m_files, *m_station, share, timing).failed());
    QCOMPARE(log(), QByteArray("\r\n"));
    {
        QFile heldLock(lockPath());
        QVERIFY(heldLock.open(QIODevice::ReadOnly));
        QCOMPARE(heldLock.readAll(), lock);
    }

    // Once the holder is done the next try goes through.
    QVERIFY(QFile::remove(lockPath()));
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "mine", timing).failed());
}

// Far younger than the stale age: only the process it names tells whether it is left behind.
void LiveLogTest::lockOfAProcessOfThisMachine()
{
    LiveLog::Workstation station({QStringLiteral("THIS-PC"), QStringLiteral("feedfacecafe"), 17}, m_clock,
                                 m_processes);
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, station, share).failed());
    m_processes->start(4242);
    writeLock("BD-ChatSlate live log lock\r\nhost=THIS-PC\r\nmachine=feedfacecafe\r\nprocess=4242\r\n",
              std::chrono::seconds(0));
    LiveLog::Timing timing;
    timing.lockWait = std::chrono::milliseconds(300);

    const LiveLog::PostResult held = LiveLog::post(m_files, station, share, "held", timing);
    QVERIFY(held.failed());
    QVERIFY2(held.error().message.contains("4242"), qPrintable(held.error().message));
    m_processes->end(4242);
    const LiveLog::PostResult ended = LiveLog::post(m_files, station, share, "mine", timing);
    QVERIFY2(!ended.failed(), qPrintable(ended.error().message));
    QCOMPARE(log(), QByteArray("mine \r\n \r\n\r\n\r\n"));
    QCOMPARE(filesInShare(), QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});
}

void LiveLogTest::oddLocksEndUpRemoved_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("messagePart");
    QTest::newRow("dated in the future") << "future"
                                         << "dated in the future";
    QTest::newRow("half-written") << "half"
                                  << "names no workstation";
    QTest::newRow("huge") << "huge"
                          << "names no workstation";
    QTest::newRow("a folder") << "folder" << PlatformTexts::isAFolder;
    QTest::newRow("a named pipe") << "fifo"
                                  << "named pipe";
}

// Each is refused at first with what is wrong with it, and removed once it has stayed unchanged past the
// stale age: none stops posts for good.
void LiveLogTest::oddLocksEndUpRemoved()
{
    QFETCH(QString, kind);
    QFETCH(QString, messagePart);
    const QString share = m_share->path();
    FaultInjectingFileAccess files;
    dateByTheClock(files);
    QVERIFY(!LiveLog::clear(files, *m_station, share).failed());
    if (kind == "folder") {
        QVERIFY(QDir().mkdir(lockPath()));
    } else if (kind == "fifo") {
#if defined(Q_OS_WIN)
        QSKIP("FIFOs are a POSIX file kind");
#else
        QCOMPARE(::mkfifo(QFile::encodeName(lockPath()).constData(), 0600), 0);
#endif
    } else if (kind == "huge") {
        QFile lock(lockPath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        QVERIFY(lock.resize(qint64(256) << 20));
    } else if (kind == "half") {
        writeLock("BD-ChatSlate live log lock\r\n", std::chrono::seconds(0));
    } else {
        writeLock("BD-ChatSlate live log lock\r\nhost=OTHER-PC\r\nprocess=4242\r\ntoken=5eed\r\n",
                  std::chrono::seconds(-3600));
    }

    LiveLog::Timing refused;
    refused.lockWait = std::chrono::milliseconds(100);
    const LiveLog::PostResult first = LiveLog::post(files, *m_station, share, "lost", refused);
    QVERIFY(first.failed());
    QVERIFY2(first.error().message.contains(messagePart) && first.error().message.contains(lockPath()),
             qPrintable(first.error().message));

    LiveLog::Timing shortStaleAge;
    shortStaleAge.lockWait = std::chrono::seconds(5);
    shortStaleAge.staleAfter = std::chrono::milliseconds(300);
    const LiveLog::PostResult later = LiveLog::post(files, *m_station, share, "mine", shortStaleAge);
    QVERIFY2(!later.failed(), qPrintable(later.error().message));
    QCOMPARE(log(), QByteArray("mine \r\n \r\n\r\n\r\n"));
    QVERIFY(!QFileInfo::exists(lockPath()));
    // Of a lock only its first few lines are ever read.
    QVERIFY(files.largestRead() < 64 * 1024);
}

void LiveLogTest::leftoversOfACrashedWriter()
{
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    const auto leave = [&](const QString& name, int ageSeconds) {
        QFile file(m_share->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("half a log \r\n");
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(m_clock->utcNow().addSecs(-ageSeconds), QFileDevice::FileModificationTime));
    };
    QProcess ended;
    // A program that ends at once on every platform: this test program listing its tests.
    ended.start(QCoreApplication::applicationFilePath(), {QStringLiteral("-functions")});
    QVERIFY(ended.waitForStarted());
    // This machine's processes as the system knows them.
    LiveLog::Workstation station(m_station->self(), m_clock, std::make_shared<LiveLog::NativeProcessProbe>());
    const LiveLog::Writer& self = station.self();
    const LiveLog::Writer endedHere{self.host, self.machine, ended.processId()};
    const LiveLog::Writer endedOnANamesake{self.host, QStringLiteral("0123456789ab"), ended.processId()};
    QVERIFY(ended.waitForFinished());
    // A process of this machine that runs until the test ends: a post helper waiting for its go.
    QTemporaryDir elsewhere;
    QProcess running;
    running.start(QStringLiteral(POST_HELPER_PATH), {QStringLiteral("posts"), elsewhere.path(), "p", "1"});
    QVERIFY(running.waitForStarted());
    const auto stopRunning = qScopeGuard([&] {
        running.kill();
        running.waitForFinished();
    });
    const LiveLog::Writer runningHere{self.host, self.machine, running.processId()};
    // Its low half names the running helper, but no process here can have that id.
    const LiveLog::Writer impossibleHere{self.host, self.machine, (qint64(1) << 32) + running.processId()};
    leave(QStringLiteral("CHATSLATE-LIVE.LOG.OTHER-PC-17.TMP"), 3600);
    leave(QStringLiteral("CHATSLATE-LIVE.LOG.OTHER-PC-18.TMP"), 2);
    leave(QStringLiteral("CHATSLATE-LIVE.LOG.OTHER-PC-19.CLOCK"), 3600);
    leave(QStringLiteral("CHATSLATE-LIVE.LOG.OTHER-PC-20.TMP"), 60);
    leave(QStringLiteral("CHATSLATE-LIVE.LOG.%1.TMP").arg(endedHere.fileTag()), 0);
    leave(QStringLiteral("CHATSLATE-LIVE.LOG.%1.NEWLOCK").arg(endedHere.fileTag()), 0);
    leave(QStringLiteral("CHATSLATE-LIVE.LOG.%1.TMP").arg(runningHere.fileTag()), 0);
    leave(QStringLiteral("CHATSLATE-LIVE.LOG.%1.TMP").arg(impossibleHere.fileTag()), 0);
    leave(QStringLiteral("CHATSLATE-LIVE.LOG.%1.TMP").arg(endedOnANamesake.fileTag()), 0);
    leave(QStringLiteral("CHATSLATE-LIVE.LOG.NOTES"), 3600);
    leave(QStringLiteral("CHATSLATE-LIVE.LOG.TMP"), 3600);

    QVERIFY(!LiveLog::post(m_files, station, share, "x").failed());
    QCOMPARE(LiveLog::read(m_files, station, share).bytes, QByteArray("x \r\n \r\n\r\n\r\n"));
    // Those of a process here that has ended go at once, those of other workstations past the stale age.
    // The fresh ones of other workstations (also of one with this host's name) and that of a process still
    // running here may belong to a writer at work; what is no writer's file stays too.
    QStringList kept{QStringLiteral("CHATSLATE-LIVE.LOG"),
                     QStringLiteral("CHATSLATE-LIVE.LOG.NOTES"),
                     QStringLiteral("CHATSLATE-LIVE.LOG.TMP"),
                     QStringLiteral("CHATSLATE-LIVE.LOG.OTHER-PC-18.TMP"),
                     QStringLiteral("CHATSLATE-LIVE.LOG.%1.TMP").arg(runningHere.fileTag()),
                     QStringLiteral("CHATSLATE-LIVE.LOG.%1.TMP").arg(endedOnANamesake.fileTag())};
    kept.sort();
    QCOMPARE(filesInShare(), kept);
}

// A file server whose rename cannot replace a file makes the writer move the old log aside first; this
// one stopped right after that.
void LiveLogTest::logMovedAsideByAnInterruptedReplace()
{
    const QString share = m_share->path();
    const QString aside = LiveLog::LogFolder(logPath()).aside();
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "old").failed());
    QVERIFY(QFile::rename(logPath(), aside));

    QCOMPARE(LiveLog::read(m_files, *m_station, share).bytes, QByteArray("old \r\n \r\n\r\n\r\n"));
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "new").failed());
    QCOMPARE(log(), QByteArray("new \r\n \r\nold \r\n \r\n\r\n\r\n\r\n"));
    QCOMPARE(filesInShare(), QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});

    QVERIFY(QFile::rename(logPath(), aside));
    QVERIFY(!LiveLog::clear(m_files, *m_station, share).failed());
    QCOMPARE(log(), QByteArray("\r\n"));
    QCOMPARE(filesInShare(), QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});

    // Posts one after another on a server that cannot rename over a file: each look falls between the two
    // renames of one of them, the log aside at one look and gone from there at the next.
    int looksBetween = 6;
    m_files.beforeEachRead([&](const QString& path) {
        if (looksBetween-- > 0)
            path.endsWith(".OLD") ? QFile::rename(aside, logPath()) : QFile::rename(logPath(), aside);
    });
    QCOMPARE(LiveLog::read(m_files, *m_station, share).bytes, QByteArray("\r\n"));
    m_files.beforeEachRead({});

    // One that a reader held open when it should have gone: the log is in place, so it is only in the way.
    QVERIFY(QFile::copy(logPath(), aside));
    QVERIFY(!LiveLog::post(m_files, *m_station, share, "next").failed());
    QCOMPARE(log(), QByteArray("next \r\n \r\n\r\n\r\n"));
    QCOMPARE(filesInShare(), QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});
}

void LiveLogTest::everyByteDecodesAndRoundTrips()
{
    QByteArray all;
    for (int byte = 0; byte < 256; ++byte)
        all.append(char(byte));
    const QString text = CodePage::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0x80), QChar(0x20AC)); // euro sign
    QCOMPARE(text.at(0x81), QChar(0x81));   // undefined in Windows-1252: the C1 control
    QCOMPARE(text.at(0x9D), QChar(0x9D));
    QCOMPARE(text.at(0xE9), QChar(0xE9));
    const CodePage::Encoded encoded = CodePage::encode(text);
    QCOMPARE(encoded.bytes, all);
    QVERIFY(encoded.unencodable.isEmpty());
}

void LiveLogTest::unencodableCharactersAreNamed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("unencodable");
    QTest::newRow("letters and a pair")
        << QString::fromUtf8("caf\u00e9 \u4e2d\u6587 \u4e2d \U0001F600!") << QByteArray("caf\xe9 ?? ? ?!")
        << QString::fromUtf8("\u4e2d\u6587\U0001F600");
    // Windows would map these to look-alikes ("a", a plain quote) unless told not to.
    QTest::newRow("best-fit look-alikes") << QString::fromUtf8("\u0101 \u2032 \u263A") << QByteArray("? ? ?")
                                          << QString::fromUtf8("\u0101\u2032\u263A");
    const QChar high(0xD83D);
    const QChar low(0xDE00);
    QTest::newRow("lone high surrogate at the end")
        << (QString("ab") + high) << QByteArray("ab?") << QString(high);
    QTest::newRow("lone high surrogate before a letter")
        << (QString("a") + high + QString("b")) << QByteArray("a?b") << QString(high);
    QTest::newRow("lone low surrogate") << (QString(low) + QString("b")) << QByteArray("?b") << QString(low);
}

void LiveLogTest::unencodableCharactersAreNamed()
{
    QFETCH(QString, text);
    const CodePage::Encoded encoded = CodePage::encode(text);
    QTEST(encoded.bytes, "bytes");
    QTEST(encoded.unencodable, "unencodable");
}

QTEST_GUILESS_MAIN(LiveLogTest)
#include "tst_live_log.moc"

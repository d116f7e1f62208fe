#include "fakes/fault_injecting_file_access.h"
#include "fakes/memory_settings_store.h"
#include "fakes/recording_reporter.h"
#include "livelog/live_log.h"
#include "livelog/this_workstation.h"
#include "platform/files/smb_context.h"
#include "platform/files/system_file_access.h"
#include "support/background_jobs.h"
#include "support/identity_checks.h"
#include "support/samba_server.h"
#include "support/second_copy_process.h"
#include "support/writer_processes.h"
#include "text/code_page.h"
#include "windows/common/login_dialog.h"
#include "windows/main/live_view.h"
#include "windows/main/main_window.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <thread>

using namespace WriterProcesses;

namespace {

// CTest's SKIP_RETURN_CODE for this program.
constexpr int skippedExitCode = 77;

const QString guestLocation = QStringLiteral("\\\\127.0.0.2\\Share");
const QString loginLocation = QStringLiteral("\\\\127.0.0.2\\Private");

const ShareLogin rightLogin{
    QString::fromLatin1(SambaServer::loginUser), {}, QString::fromLatin1(SambaServer::loginPassword)};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

void emptyFolder(const QString& path)
{
    QDir folder(path);
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden))
        QVERIFY(folder.remove(name));
}

} // namespace

// Against a real Samba server on a loopback address: the program's own file access (libsmbclient for
// \\SERVER\Share paths) must leave the same bytes as a local folder, report each failure clearly and
// recover.
class SmbShareTest : public QObject
{
    Q_OBJECT

public:
    bool startServer(QString* whyNot);

private slots:
    void init();
    void sameBytesAsALocalFolder();
    void identityFollowsTheFile();
    void copiesThroughSmbAndTheFolderSeeEachOther();
    void eightWritersThroughSmb();
    void crashedWriterOfAnotherWorkstation();
    void fileFromSmbclientInWindows1252();
    void failuresAreClearAndPassing();
    void callsBehindAStuckOneAreGivenUp();
    void ticketTheServerCannotUse();
    void loginAskedOutsideTheLibraryAndKeptInMemory();

private:
    QString guestLog() const { return m_server.guestFolder() + QStringLiteral("/CHATSLATE-LIVE.LOG"); }
    QProcess* startSecondCopy(const QString& share, const QStringList& arguments);

    SambaServer m_server;
    SecondCopyProcess m_secondCopy;
    const std::shared_ptr<LiveLog::Workstation> m_station = LiveLog::thisWorkstation();
};

bool SmbShareTest::startServer(QString* whyNot)
{
    if (!m_server.start(whyNot))
        return false;
    // libsmbclient reads the user's ~/.smb/smb.conf; helpers started from here inherit this too.
    qputenv("HOME", m_server.homeFolder().toLocal8Bit());
    // No Kerberos server is here: with no ticket the library must fall back to the guest or the login.
    qputenv("KRB5CCNAME", "FILE:" + m_server.homeFolder().toLocal8Bit() + "/no-ticket");
    return true;
}

void SmbShareTest::init()
{
    if (!m_server.running()) {
        QString whyNot;
        QVERIFY2(m_server.start(&whyNot), qPrintable(whyNot));
    }
    emptyFolder(m_server.guestFolder());
    emptyFolder(m_server.loginFolder());
}

void SmbShareTest::sameBytesAsALocalFolder()
{
    SystemFileAccess system;
    FileAccess& files = system.files();
    QTemporaryDir local;
    QVERIFY(local.isValid());
    const QString localLog = local.filePath(QStringLiteral("CHATSLATE-LIVE.LOG"));

    const QList<QByteArray> posts{
        "first",
        CodePage::encode(QStringLiteral("Gr\u00fc\u00dfe \u20ac\r\nzweite Zeile\u00a0")).bytes,
        "",
        QByteArray(300000, 'x'),
    };
    const auto bothMatch = [&](const char* step) {
        const QByteArray expected = readFile(localLog);
        QVERIFY2(readFile(guestLog()) == expected, step);
        const FileReadResult read = LiveLog::read(files, *m_station, guestLocation);
        QVERIFY2(!read.error.failed(), qPrintable(read.error.message));
        QVERIFY2(read.bytes == expected, step);
    };

    QVERIFY(!LiveLog::clear(files, *m_station, local.path()).failed());
    const FileError cleared = LiveLog::clear(files, *m_station, guestLocation);
    QVERIFY2(!cleared.failed(), qPrintable(cleared.message));
    bothMatch("clear");
    for (const QByteArray& text : posts) {
        QVERIFY(!LiveLog::post(files, *m_station, local.path(), text).failed());
        const LiveLog::PostResult posted = LiveLog::post(files, *m_station, guestLocation, text);
        QVERIFY2(!posted.failed(), qPrintable(posted.error().message));
        bothMatch(text.left(20).constData());
    }
    QVERIFY(!LiveLog::clear(files, *m_station, guestLocation).failed());
    QVERIFY(!LiveLog::clear(files, *m_station, local.path()).failed());
    bothMatch("clear again");
    // No lock, temporary file or old log stays behind on the server.
    QCOMPARE(QDir(m_server.guestFolder()).entryList(QDir::Files), QStringList{"CHATSLATE-LIVE.LOG"});
}

void SmbShareTest::identityFollowsTheFile()
{
    SystemFileAccess system;
    checkIdentityFollowsTheFile(system.files(), guestLocation + QStringLiteral("\\CHATSLATE-LIVE.LOG"),
                                guestLog());
}

QProcess* SmbShareTest::startSecondCopy(const QString& share, const QStringList& arguments)
{
    m_secondCopy.storeShare(share);
    return m_secondCopy.start(this, arguments);
}

// Two running programs, one on \\127.0.0.2\Share and one on the server's own folder behind it.
void SmbShareTest::copiesThroughSmbAndTheFolderSeeEachOther()
{
    writeFile(guestLog(), "\r\n");
    const auto postAndWatch = [&](const QString& posterShare, const QString& watcherShare,
                                  const QString& text) {
        QProcess* watcher = startSecondCopy(watcherShare, {"wait-for", text});
        QVERIFY(watcher->waitForReadyRead(10000));
        QProcess* poster = startSecondCopy(posterShare, {"post", text});
        QVERIFY(poster->waitForFinished(15000));
        QCOMPARE(poster->exitCode(), 0);
        QVERIFY(watcher->waitForFinished(15000));
        QCOMPARE(watcher->exitCode(), 0);
    };
    postAndWatch(guestLocation, m_server.guestFolder(), "posted through SMB");
    postAndWatch(m_server.guestFolder(), guestLocation, "posted on the server");
    QCOMPARE(readFile(guestLog()),
             QByteArray("posted on the server \r\n \r\nposted through SMB \r\n \r\n\r\n\r\n\r\n"));
}

void SmbShareTest::eightWritersThroughSmb()
{
    constexpr int writers = 8;
    constexpr int postsEach = 50;
    writeFile(guestLog(), "\r\n");

    Posters posters(QStringLiteral(POST_HELPER_PATH), guestLocation, writers, postsEach);
    QVERIFY(posters.allReady());

    // A reader through SMB meanwhile, refreshing far more often than a room full of copies would: never a
    // missing or partial log.
    std::atomic<bool> writing = true;
    std::atomic<int> reads = 0;
    std::atomic<int> badReads = 0;
    std::thread reader([&] {
        SystemFileAccess system;
        while (writing) {
            const FileReadResult read = LiveLog::read(system.files(), *m_station, guestLocation);
            if (read.error.failed() || !entriesOf(read.bytes)) {
                ++badReads;
                qWarning("bad read: %s", qPrintable(read.error.message));
            }
            ++reads;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const auto stopReading = [&] {
        writing = false;
        if (reader.joinable())
            reader.join();
    };
    const auto stopReadingOnFailure = qScopeGuard(stopReading);

    QVERIFY(posters.go());
    QByteArray why;
    const std::optional<int> refused = posters.refusedWhenDone(120000, &why);
    QVERIFY2(refused, why.constData());
    stopReading();
    // The reader may have held the old log open when the last post wanted it gone; the next post
    // takes it away.
    SystemFileAccess system;
    QVERIFY(!LiveLog::post(system.files(), *m_station, guestLocation, "w0-0").failed());

    const auto entries = entriesOf(readFile(guestLog()));
    QVERIFY(entries);
    QCOMPARE(entries->size(), writers * postsEach + 1);
    QVERIFY(eachWriterPostedInOrder(entries->mid(1), writers, postsEach));
    QCOMPARE(badReads.load(), 0);
    QCOMPARE(QDir(m_server.guestFolder()).entryList(QDir::Files), QStringList{"CHATSLATE-LIVE.LOG"});
    qInfo("through SMB: %d entries by %d processes, none lost or doubled; %d posts refused and tried again; "
          "%d reads, none missing or partial",
          int(entries->size()), writers, *refused, reads.load());
}

// Another workstation stopped in the middle of a post: its lock, its temporary file and the old log it
// had moved aside are all an hour old on the server's clock.
void SmbShareTest::crashedWriterOfAnotherWorkstation()
{
    const auto leave = [&](const QString& name, const QByteArray& bytes) {
        const QString path = m_server.guestFolder() + QLatin1Char('/') + name;
        writeFile(path, bytes);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(
            file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    };
    leave("CHATSLATE-LIVE.LOG.LOCK", "BD-ChatSlate live log lock\r\nhost=OTHER-PC\r\nprocess=4242\r\n");
    leave("CHATSLATE-LIVE.LOG.OTHER-PC-4242.TMP", "half a log");
    leave("CHATSLATE-LIVE.LOG.OLD", "before the crash \r\n \r\n\r\n\r\n");

    SystemFileAccess system;
    QCOMPARE(LiveLog::read(system.files(), *m_station, guestLocation).bytes,
             QByteArray("before the crash \r\n \r\n\r\n\r\n"));
    const LiveLog::PostResult posted = LiveLog::post(system.files(), *m_station, guestLocation, "after it");
    QVERIFY2(!posted.failed(), qPrintable(posted.error().message));
    QCOMPARE(readFile(guestLog()), QByteArray("after it \r\n \r\nbefore the crash \r\n \r\n\r\n\r\n\r\n"));
    QCOMPARE(QDir(m_server.guestFolder()).entryList(QDir::Files), QStringList{"CHATSLATE-LIVE.LOG"});

    // A folder in the lock's place goes too, once it has stayed as it is past the stale age.
    QVERIFY(QDir(m_server.guestFolder()).mkdir("CHATSLATE-LIVE.LOG.LOCK"));
    LiveLog::Timing timing;
    timing.staleAfter = std::chrono::milliseconds(300);
    timing.lockWait = std::chrono::milliseconds(5000);
    const LiveLog::PostResult pastFolder =
        LiveLog::post(system.files(), *m_station, guestLocation, "past it", timing);
    QVERIFY2(!pastFolder.failed(), qPrintable(pastFolder.error().message));
    QCOMPARE(QDir(m_server.guestFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"CHATSLATE-LIVE.LOG"});
}

// A log another tool put on the share, in the code page Windows workstations write.
void SmbShareTest::fileFromSmbclientInWindows1252()
{
    const QByteArray windows1252("Gr\xfc\xdf"
                                 "e \x80 caf\xe9 \r\n \r\n\r\n\r\n");
    QTemporaryDir source;
    writeFile(source.filePath("log"), windows1252);
    QString output;
    QCOMPARE(
        m_server.smbclient(SambaServer::guestShare,
                           {"-c", QStringLiteral("put %1 CHATSLATE-LIVE.LOG").arg(source.filePath("log"))},
                           false, &output),
        0);

    SystemFileAccess system;
    const FileReadResult read = LiveLog::read(system.files(), *m_station, guestLocation);
    QVERIFY2(!read.error.failed(), qPrintable(read.error.message));
    QCOMPARE(read.bytes, windows1252);
    QCOMPARE(CodePage::decode(read.bytes),
             QStringLiteral("Gr\u00fc\u00dfe \u20ac caf\u00e9 \r\n \r\n\r\n\r\n"));
}

void SmbShareTest::failuresAreClearAndPassing()
{
    SystemFileAccess system;
    FileAccess& files = system.files();
    QElapsedTimer took;

    const FileReadResult missingLog = LiveLog::read(files, *m_station, guestLocation);
    QVERIFY(missingLog.error.is(FileError::Kind::missing));
    QVERIFY2(LiveLog::describe(missingLog.error).contains("\"Clear Live Log\""),
             qPrintable(missingLog.error.message));

    const FileReadResult missingShare = LiveLog::read(files, *m_station, "\\\\127.0.0.2\\NoSuchShare");
    QVERIFY(!missingShare.error.is(FileError::Kind::missing) &&
            !missingShare.error.is(FileError::Kind::loginNeeded));
    QVERIFY2(missingShare.error.message.contains("\\\\127.0.0.2\\NoSuchShare\\CHATSLATE-LIVE.LOG") &&
                 missingShare.error.message.contains("no share named NoSuchShare"),
             qPrintable(missingShare.error.message));

    const FileReadResult noServer = LiveLog::read(files, *m_station, "\\\\NO-SUCH-SERVER\\Share");
    QVERIFY(!noServer.error.is(FileError::Kind::missing) && !noServer.error.is(FileError::Kind::loginNeeded));
    QVERIFY2(noServer.error.message.contains(
                 "no server named NO-SUCH-SERVER can be found, or it has no share named Share"),
             qPrintable(noServer.error.message));

    QVERIFY(!LiveLog::clear(files, *m_station, guestLocation).failed());
    const LiveLog::PostResult readOnly =
        LiveLog::post(files, *m_station, "\\\\127.0.0.2\\ReadOnly", "not here");
    QVERIFY(readOnly.error().is(FileError::Kind::loginNeeded));
    QVERIFY2(readOnly.error().message.contains("lets guests into \\\\127.0.0.2\\ReadOnly but not change "
                                               "anything there: the share may be read-only"),
             qPrintable(readOnly.error().message));

    writeFile(m_server.loginFolder() + "/CHATSLATE-LIVE.LOG", "secret \r\n \r\n\r\n\r\n");
    const FileReadResult noLogin = LiveLog::read(files, *m_station, loginLocation);
    QVERIFY(noLogin.error.is(FileError::Kind::loginNeeded));
    QVERIFY2(noLogin.error.message.contains("asks for a user name and password"),
             qPrintable(noLogin.error.message));
    system.logins().remember(loginLocation, {rightLogin.user, {}, "wrong"});
    const FileReadResult wrongLogin = LiveLog::read(files, *m_station, loginLocation);
    QVERIFY(wrongLogin.error.is(FileError::Kind::loginNeeded));
    QVERIFY2(wrongLogin.error.message.contains("refused the login"), qPrintable(wrongLogin.error.message));
    system.logins().remember(loginLocation, rightLogin);
    QCOMPARE(LiveLog::read(files, *m_station, loginLocation).bytes, QByteArray("secret \r\n \r\n\r\n\r\n"));
    const LiveLog::PostResult loggedIn = LiveLog::post(files, *m_station, loginLocation, "logged in");
    QVERIFY2(!loggedIn.failed(), qPrintable(loggedIn.error().message));

    QVERIFY(!LiveLog::clear(files, *m_station, guestLocation).failed());
    m_server.freeze(true);
    took.start();
    const FileReadResult hanging = LiveLog::read(files, *m_station, guestLocation);
    const qint64 hangingReadMs = took.restart();
    const LiveLog::PostResult hangingPost = LiveLog::post(files, *m_station, guestLocation, "while it hangs");
    const qint64 hangingPostMs = took.elapsed();
    m_server.freeze(false);
    QVERIFY(hanging.error.is(FileError::Kind::serverUnreachable));
    QVERIFY2(hanging.error.message.contains("server 127.0.0.2 cannot be reached"),
             qPrintable(hanging.error.message));
    QVERIFY(hangingPost.failed());
    qInfo("server that answers nothing reported after %lld ms (read) and %lld ms (post)", hangingReadMs,
          hangingPostMs);
    QTRY_VERIFY_WITH_TIMEOUT(!LiveLog::read(files, *m_station, guestLocation).error.failed(), 10000);
    QCOMPARE(readFile(guestLog()), QByteArray("\r\n"));

    m_server.stop();
    took.start();
    const FileReadResult stopped = LiveLog::read(files, *m_station, guestLocation);
    const qint64 readMs = took.restart();
    QVERIFY(stopped.error.is(FileError::Kind::serverUnreachable));
    QVERIFY2(stopped.error.message.contains("server 127.0.0.2 cannot be reached"),
             qPrintable(stopped.error.message));
    const LiveLog::PostResult notPosted = LiveLog::post(files, *m_station, guestLocation, "while stopped");
    const qint64 postMs = took.elapsed();
    QVERIFY(notPosted.failed());
    qInfo("stopped server reported after %lld ms (read) and %lld ms (post)", readMs, postMs);

    QString whyNot;
    QVERIFY2(m_server.start(&whyNot), qPrintable(whyNot));
    // As the next refresh tick would: the same program, trying again.
    QTRY_VERIFY_WITH_TIMEOUT(!LiveLog::read(files, *m_station, guestLocation).error.failed(), 10000);
    // Should the server have created the lock of the post that hung after the client gave up, that lock
    // went with the first read the server answered: the next post need not wait for it.
    QVERIFY(!QFileInfo::exists(guestLog() + ".LOCK"));
    const LiveLog::Timing noWaiting{std::chrono::milliseconds(0)};
    const LiveLog::PostResult posted =
        LiveLog::post(files, *m_station, guestLocation, "after the restart", noWaiting);
    QVERIFY2(!posted.failed(), qPrintable(posted.error().message));
    QCOMPARE(readFile(guestLog()), QByteArray("after the restart \r\n \r\n\r\n\r\n"));
}

// A call stuck in the library, as against a server that stopped answering mid-connection, holds up the
// calls behind it only up to the limit; those given up on before they started never run.
void SmbShareTest::callsBehindAStuckOneAreGivenUp()
{
    SmbContext library;
    QSemaphore inside, letGo;
    std::thread stuck([&] {
        library.run([&](SMBCCTX*) {
            inside.release();
            letGo.acquire();
            return 0;
        });
    });
    QVERIFY(inside.tryAcquire(1, 10000));
    const auto ranBehind = std::make_shared<std::atomic<bool>>(false);
    QCOMPARE(library.run([ranBehind](SMBCCTX*) {
        *ranBehind = true;
        return 0;
    }),
             ETIMEDOUT);
    QVERIFY(library.callsLeftRunning());

    letGo.release();
    stuck.join();
    QCOMPARE(library.run([](SMBCCTX*) { return 0; }), 0);
    QVERIFY(!*ranBehind);
    QVERIFY(!library.callsLeftRunning());
}

// No Kerberos server is here: a ticket cache the server cannot use must leave the guest share as it was,
// and the share that needs a login still ends at the login.
void SmbShareTest::ticketTheServerCannotUse()
{
    const QString ticket = m_server.homeFolder() + "/krb5cc_unusable";
    writeFile(ticket, "not a ticket the server knows");
    const QByteArray noTicket = qgetenv("KRB5CCNAME");
    qputenv("KRB5CCNAME", "FILE:" + ticket.toLocal8Bit());
    const auto restore = qScopeGuard([&] { qputenv("KRB5CCNAME", noTicket); });
    writeFile(guestLog(), "open \r\n \r\n\r\n\r\n");
    writeFile(m_server.loginFolder() + "/CHATSLATE-LIVE.LOG", "closed \r\n \r\n\r\n\r\n");

    SystemFileAccess system;
    QCOMPARE(LiveLog::read(system.files(), *m_station, guestLocation).bytes,
             QByteArray("open \r\n \r\n\r\n\r\n"));
    const FileReadResult refused = LiveLog::read(system.files(), *m_station, loginLocation);
    QVERIFY2(refused.error.is(FileError::Kind::loginNeeded), qPrintable(refused.error.message));
    system.logins().remember(loginLocation, rightLogin);
    QCOMPARE(LiveLog::read(system.files(), *m_station, loginLocation).bytes,
             QByteArray("closed \r\n \r\n\r\n\r\n"));
    QCOMPARE(LiveLog::read(system.files(), *m_station, guestLocation).bytes,
             QByteArray("open \r\n \r\n\r\n\r\n"));
}

// The dialog opens between reads, never from inside the library; a refused login asks again, a declined
// one stops the refresh ticks from asking, and the password is nowhere but in memory.
void SmbShareTest::loginAskedOutsideTheLibraryAndKeptInMemory()
{
    writeFile(m_server.loginFolder() + "/CHATSLATE-LIVE.LOG", "for members \r\n \r\n\r\n\r\n");
    SystemFileAccess system;
    MemorySettingsStore store;
    store.values().insert("BD_CHATSLATE_SHARE", loginLocation);
    store.values().insert("AUTO_REFRESH_TICKBOX", "1");
    RecordingReporter messages;

    QStringList reasons;
    QList<ShareLogin> answers{{}, {rightLogin.user, {}, "wrong"}, rightLogin};
    QTimer answerer;
    answerer.setInterval(20);
    connect(&answerer, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<LoginDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        reasons.append(dialog->findChild<QLabel*>("LOGIN_REASON_LABEL")->text());
        const ShareLogin answer = answers.isEmpty() ? ShareLogin{} : answers.takeFirst();
        if (answer.user.isEmpty()) {
            dialog->findChild<QPushButton*>("LOGIN_CANCEL_BUTTON")->click();
            return;
        }
        dialog->findChild<QLineEdit*>("LOGIN_USER_TEXTBOX")->setText(answer.user);
        dialog->findChild<QLineEdit*>("LOGIN_PASSWORD_TEXTBOX")->setText(answer.password);
        dialog->findChild<QPushButton*>("LOGIN_OK_BUTTON")->click();
    });
    answerer.start();

    const auto sharedFiles = std::make_shared<FaultInjectingFileAccess>(system.files());
    FaultInjectingFileAccess& files = *sharedFiles;
    // Ticks far more often than the program's, so that the test waits little for them.
    auto window = std::make_unique<MainWindow>(
        ProgramServices{store, sharedFiles, m_station, messages, NullWindowOrder::shared(), system.logins()},
        std::chrono::milliseconds(100));
    window->show();
    auto* liveView = window->findChild<LiveView*>("BD_CHATSLATE_LIVE_TEXTBOX");

    // The first tick asks; the user declines, and the next ticks leave the user alone.
    QTRY_COMPARE_WITH_TIMEOUT(reasons.size(), 1, 5000);
    const int readsWhenDeclined = files.reads();
    QTRY_VERIFY_WITH_TIMEOUT(files.reads() >= readsWhenDeclined + 2, 10000);
    QCOMPARE(reasons.size(), 1);
    QVERIFY2(liveView->toPlainText().contains("asks for a user name and password"),
             qPrintable(liveView->toPlainText()));

    // Refresh asks again; the wrong password is refused and asked once more.
    window->findChild<QPushButton*>("REFRESH_BUTTON")->click();
    QTRY_VERIFY_WITH_TIMEOUT(liveView->toPlainText().contains("for members"), 10000);
    QCOMPARE(reasons.size(), 3);
    QVERIFY2(reasons.at(2).contains("refused the login"), qPrintable(reasons.at(2)));
    QVERIFY(messages.errors().isEmpty());

    window->findChild<QPlainTextEdit*>("BD_CHATSLATE_MY_TEXT_TEXTBOX")->setPlainText("member post");
    window->findChild<QPushButton*>("CHATSLATE_BUTTON")->click();
    waitForBackgroundJobs(window.get());
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join('\n')));
    QCOMPARE(readFile(m_server.loginFolder() + "/CHATSLATE-LIVE.LOG"),
             QByteArray("member post \r\n \r\nfor members \r\n \r\n\r\n\r\n\r\n"));

    window->close();
    window.reset();
    for (const QString& value : store.values())
        QVERIFY(!value.contains(QLatin1String(SambaServer::loginPassword)));
    // Nor in any file the library keeps in the user's home.
    QDirIterator home(m_server.homeFolder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (home.hasNext())
        QVERIFY2(!readFile(home.next()).contains(SambaServer::loginPassword), qPrintable(home.filePath()));
}

// Where smbd cannot run, the whole program is reported to CTest as skipped, not as passed.
int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    SmbShareTest test;
    QString whyNot;
    if (!test.startServer(&whyNot)) {
        std::fprintf(stderr, "\n*** NO SAMBA SERVER: the SMB tests did not run. %s ***\n\n",
                     qPrintable(whyNot));
        return skippedExitCode;
    }
    return QTest::qExec(&test, argc, argv);
}
#include "tst_smb_share.moc"

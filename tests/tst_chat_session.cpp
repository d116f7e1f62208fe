#include "livelog/live_log.h"
#include "session/file_worker.h"
#include "session/interval_timer.h"
#include "support/session_fixture.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <atomic>

using State = ChatSession::State;
using Event = ChatSession::Event;
using Status = ChatSession::Status;

namespace {

// A share that refuses every read, and the lock of every post, until the user has logged in.
class LoginShare final : public FaultInjectingFileAccess
{
public:
    FileReadResult readAll(const QString& path) override
    {
        if (!loggedIn)
            return {{}, refusal(path)};
        return FaultInjectingFileAccess::readAll(path);
    }
    FileError createWhole(const QString& path, const QByteArray& bytes, const QString& scratch) override
    {
        if (!loggedIn)
            return refusal(path);
        return FaultInjectingFileAccess::createWhole(path, bytes, scratch);
    }

    std::atomic<bool> loggedIn = false;

private:
    static FileError refusal(const QString& path)
    {
        return {FileError::Kind::loginNeeded,
                QStringLiteral("Cannot read %1: the server asks for a login").arg(path)};
    }
};

// Another copy of the program, or an editor, writing over the log's bytes in place: the same file, and
// with a time given, the same modification time as before.
void rewriteInPlace(const QString& path, const QByteArray& bytes, const QDateTime& time = {})
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.resize(0));
    QCOMPARE(file.write(bytes), bytes.size());
    QVERIFY(file.flush());
    if (time.isValid())
        QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

// One character per control usable in a state: switch, post, refresh, settings, own text.
QString usableText(const ChatSession::Usable& usable)
{
    QString text;
    for (const bool on :
         {usable.autoRefreshSwitch, usable.post, usable.refresh, usable.settings, usable.ownTextEditable})
        text += on ? QLatin1Char('x') : QLatin1Char('-');
    return text;
}

} // namespace

class ChatSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void transitions_data();
    void transitions();
    void controls_data();
    void controls();
    void loadStatuses_data();
    void loadStatuses();
    void tickShowsLogAndPausesWhileReading();
    void leftStateDropsReadUnderWay();
    void failedRefreshIsToldWithTimerOff();
    void declinedLoginStopsTheTicksAsking();
    void postLandsAndClosesWhenAsked();
    void failedPostKeepsTheWindowOpen();
    void postAsksForLoginAndTriesAgain();
    void refreshUnderWayRunsAgainAfterTheSettings();
    void ticksReadOnlyAChangedLog();
    void changeTheShareCannotSeeIsShownWithinTenTicks();
};

void ChatSessionTest::transitions_data()
{
    QTest::addColumn<State>("from");
    QTest::addColumn<Event>("event");
    QTest::addColumn<bool>("share");
    QTest::addColumn<State>("to");

    const QList<std::pair<const char*, State>> states{{"no share", State::noShare},
                                                      {"off", State::autoRefreshOff},
                                                      {"unticked", State::autoRefreshUnticked},
                                                      {"on", State::autoRefreshOn},
                                                      {"posting", State::posting}};
    // Without a location every switch and location ends in noShare, wherever it starts.
    for (const auto& [name, from] : states) {
        QTest::addRow("%s, tick, no share", name)
            << from << Event::autoRefreshTicked << false << State::noShare;
        QTest::addRow("%s, untick, no share", name)
            << from << Event::autoRefreshUnticked << false << State::noShare;
        QTest::addRow("%s, location, none", name) << from << Event::locationTaken << false << State::noShare;
        QTest::addRow("%s, tick", name) << from << Event::autoRefreshTicked << true << State::autoRefreshOn;
        QTest::addRow("%s, untick", name)
            << from << Event::autoRefreshUnticked << true << State::autoRefreshUnticked;
        QTest::addRow("%s, location", name) << from << Event::locationTaken << true << State::autoRefreshOff;
    }
    // Only auto refresh on posts, and only a post ends.
    QTest::newRow("on, post") << State::autoRefreshOn << Event::postStarted << true << State::posting;
    QTest::newRow("posting, ends") << State::posting << Event::postEnded << true << State::autoRefreshOn;
    QTest::newRow("unticked, post") << State::autoRefreshUnticked << Event::postStarted << true
                                    << State::autoRefreshUnticked;
    QTest::newRow("off, post") << State::autoRefreshOff << Event::postStarted << true
                               << State::autoRefreshOff;
    QTest::newRow("no share, post") << State::noShare << Event::postStarted << false << State::noShare;
    QTest::newRow("on, post ends") << State::autoRefreshOn << Event::postEnded << true
                                   << State::autoRefreshOn;
}

void ChatSessionTest::transitions()
{
    QFETCH(State, from);
    QFETCH(Event, event);
    QFETCH(bool, share);
    QTEST(ChatSession::next(from, event, share), "to");
}

void ChatSessionTest::controls_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("usable"); // switch, post, refresh, settings, own text
    QTest::newRow("no share") << State::noShare << "---x-";
    QTest::newRow("off") << State::autoRefreshOff << "x--x-";
    QTest::newRow("unticked") << State::autoRefreshUnticked << "x-xx-";
    QTest::newRow("on") << State::autoRefreshOn << "xxx-x";
    QTest::newRow("posting") << State::posting << "-----";
}

void ChatSessionTest::controls()
{
    QFETCH(State, state);
    QTEST(usableText(ChatSession::usableIn(state)), "usable");
}

void ChatSessionTest::loadStatuses_data()
{
    QTest::addColumn<bool>("share");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<State>("state");
    QTest::addColumn<QList<Status>>("statuses");
    QTest::addColumn<bool>("timerRunning");
    QTest::newRow("no share") << false << true << State::noShare
                              << QList<Status>{Status::loading, Status::configure} << false;
    QTest::newRow("off") << true << false << State::autoRefreshOff
                         << QList<Status>{Status::loading, Status::autoRefreshDisabled} << false;
    // The switch ran before the load ended, and the load's own status comes last.
    QTest::newRow("on") << true << true << State::autoRefreshOn
                        << QList<Status>{Status::autoRefreshEnabled, Status::loading} << true;
}

void ChatSessionTest::loadStatuses()
{
    QFETCH(bool, share);
    QFETCH(bool, ticked);
    SessionFixture fixture;
    fixture.load(share, ticked);
    QTEST(fixture.session.state(), "state");
    QTEST(fixture.statuses, "statuses");
    QTEST(fixture.refreshTimer().isRunning(), "timerRunning");
    QCOMPARE(fixture.files.reads(), 0);
}

void ChatSessionTest::tickShowsLogAndPausesWhileReading()
{
    SessionFixture fixture;
    fixture.writeLog("hello \r\n \r\n\r\n\r\n");
    fixture.load(true, true);
    QSignalSpy ended(&fixture.worker(), &FileWorker::readEnded);
    fixture.refreshTimer().fire();
    QVERIFY(!fixture.refreshTimer().isRunning());
    QVERIFY(ended.wait(5000));
    QVERIFY(fixture.refreshTimer().isRunning());
    QCOMPARE(fixture.logs, QList<QByteArray>{"hello \r\n \r\n\r\n\r\n"});

    fixture.files.failReads(QStringLiteral("Cannot read %1: the network path was not found"));
    fixture.tick();
    QCOMPARE(fixture.failures.size(), 1);
    QVERIFY(fixture.failures.first().endsWith("CHATSLATE-LIVE.LOG: the network path was not found"));
    QVERIFY(fixture.prompts.errors.isEmpty());
    QVERIFY(fixture.refreshTimer().isRunning());
}

// Unticking while a read is under way: its result belongs to a state the user has left.
void ChatSessionTest::leftStateDropsReadUnderWay()
{
    SessionFixture fixture;
    fixture.writeLog("late \r\n");
    fixture.load(true, true);
    QSignalSpy ended(&fixture.worker(), &FileWorker::readEnded);
    fixture.refreshTimer().fire();
    fixture.session.switchAutoRefresh(false);
    QVERIFY(ended.wait(5000));
    QVERIFY(fixture.logs.isEmpty());
    QVERIFY(!fixture.refreshTimer().isRunning());
    QCOMPARE(fixture.session.state(), State::autoRefreshUnticked);
}

void ChatSessionTest::failedRefreshIsToldWithTimerOff()
{
    SessionFixture fixture;
    fixture.load(true, true);
    bool runningWhileTold = true;
    fixture.prompts.whileOpen = [&] {
        runningWhileTold = fixture.refreshTimer().isRunning();
    };
    fixture.session.refresh();
    QCOMPARE(fixture.statuses.last(), Status::refreshing);
    fixture.waitForRead();
    QCOMPARE(fixture.prompts.errors.size(), 1);
    QVERIFY(fixture.prompts.errors.first().contains(fixture.logPath()));
    QVERIFY(!runningWhileTold);
    QVERIFY(fixture.refreshTimer().isRunning());
}

// A tick that meets a share asking for a login asks once; declined, the ticks stop asking until Refresh.
void ChatSessionTest::declinedLoginStopsTheTicksAsking()
{
    const auto share = std::make_shared<LoginShare>();
    SessionFixture fixture(share);
    fixture.writeLog("members \r\n");
    fixture.load(true, true);
    bool runningWhileAsked = true;
    fixture.prompts.whileOpen = [&] {
        runningWhileAsked = fixture.refreshTimer().isRunning();
    };
    fixture.tick();
    fixture.tick();
    QCOMPARE(fixture.prompts.loginReasons.size(), 1);
    QVERIFY(!runningWhileAsked);
    QCOMPARE(fixture.failures.size(), 2);
    QVERIFY(fixture.prompts.errors.isEmpty());

    // Refresh asks again; the login given, the read runs again and shows the log.
    fixture.prompts.loginGiven = [&] {
        return share->loggedIn = true;
    };
    fixture.session.refresh();
    fixture.waitForRead();
    QCOMPARE(fixture.prompts.loginReasons.size(), 2);
    fixture.waitForRead();
    QCOMPARE(fixture.logs, QList<QByteArray>{"members \r\n"});
    QVERIFY(fixture.prompts.errors.isEmpty());
}

void ChatSessionTest::postLandsAndClosesWhenAsked()
{
    SessionFixture fixture;
    fixture.writeLog("\r\n");
    fixture.load(true, true);
    QSignalSpy states(&fixture.session, &ChatSession::stateChanged);
    fixture.session.post(QStringLiteral("hello"));
    QCOMPARE(fixture.session.state(), State::posting);
    QVERIFY(!fixture.refreshTimer().isRunning());
    fixture.session.closeAfterPost();
    fixture.waitForChange();
    QCOMPARE(fixture.readLog(), QByteArray("hello \r\n \r\n\r\n\r\n"));
    QCOMPARE(fixture.logs, QList<QByteArray>{"\r\n"});
    QCOMPARE(fixture.posted, 1);
    QCOMPARE(fixture.postsEnded, 1);
    QCOMPARE(fixture.closesWanted, 1);
    QCOMPARE(states.size(), 2);
    QCOMPARE(fixture.session.state(), State::autoRefreshOn);
    QVERIFY(fixture.refreshTimer().isRunning());

    // Turned down at the question, nothing is written, and the session can post again.
    fixture.prompts.proceed = false;
    fixture.session.post(QString::fromUtf8("\u263a"));
    QCOMPARE(fixture.prompts.questions.size(), 1);
    QVERIFY(!fixture.worker().isChanging());
    QCOMPARE(fixture.postsEnded, 2);
    QCOMPARE(fixture.readLog(), QByteArray("hello \r\n \r\n\r\n\r\n"));
    QCOMPARE(fixture.session.state(), State::autoRefreshOn);
}

// The user reads why with the text still there: a close asked for during the post does not happen.
void ChatSessionTest::failedPostKeepsTheWindowOpen()
{
    SessionFixture fixture;
    fixture.writeLog("old \r\n");
    fixture.load(true, true);
    fixture.files.failWrites(QStringLiteral("Cannot write %1: no space left on device"));
    fixture.session.post(QStringLiteral("precious"));
    fixture.session.closeAfterPost();
    fixture.waitForChange();
    QCOMPARE(fixture.prompts.errors.size(), 1);
    QVERIFY(fixture.prompts.errors.first().startsWith("Your text was not posted; it is still in its field."));
    QCOMPARE(fixture.posted, 0);
    QCOMPARE(fixture.closesWanted, 0);
    QCOMPARE(fixture.readLog(), QByteArray("old \r\n"));

    // The close asked for before is forgotten: the next post that lands closes nothing.
    fixture.files.failWrites({});
    fixture.session.post(QStringLiteral("precious"));
    fixture.waitForChange();
    QCOMPARE(fixture.posted, 1);
    QCOMPARE(fixture.closesWanted, 0);
}

void ChatSessionTest::postAsksForLoginAndTriesAgain()
{
    const auto share = std::make_shared<LoginShare>();
    SessionFixture fixture(share);
    fixture.writeLog("\r\n");
    fixture.load(true, true);
    int asked = 0;
    // The first login given is refused as well, and asked for again.
    fixture.prompts.loginGiven = [&] {
        share->loggedIn = ++asked == 2;
        return true;
    };
    fixture.session.post(QStringLiteral("member"));
    fixture.waitForChange();
    QCOMPARE(fixture.prompts.loginReasons.size(), 2);
    QCOMPARE(fixture.readLog(), QByteArray("member \r\n \r\n\r\n\r\n"));
    QVERIFY(fixture.prompts.errors.isEmpty());

    // A clear that the user gives no login for ends with the refusal.
    share->loggedIn = false;
    fixture.prompts.loginGiven = {};
    QList<FileError> outcomes;
    fixture.session.clear(
        fixture.share(), [&](const FileError& error) { return fixture.prompts.askForLogin({}, error); },
        [&](const FileError& error) { outcomes << error; });
    fixture.waitForChange();
    QCOMPARE(outcomes.size(), 1);
    QVERIFY(outcomes.first().is(FileError::Kind::loginNeeded));
    QCOMPARE(fixture.readLog(), QByteArray("member \r\n \r\n\r\n\r\n"));
}

// A Refresh read under way when the settings open is dropped and read again once they close, unless a
// saved location switched refreshing off.
void ChatSessionTest::refreshUnderWayRunsAgainAfterTheSettings()
{
    for (const bool saved : {false, true}) {
        SessionFixture fixture;
        fixture.writeLog("before \r\n");
        fixture.load(true, false);
        fixture.session.switchAutoRefresh(false);
        fixture.session.refresh();
        fixture.session.settingsOpening();
        fixture.waitForRead();
        QVERIFY(fixture.logs.isEmpty());
        fixture.writeLog("\r\n");
        if (saved)
            fixture.session.takeSavedShareLocation(fixture.share());
        fixture.session.settingsClosed();
        if (!saved) {
            fixture.waitForRead();
            QCOMPARE(fixture.logs, QList<QByteArray>{"\r\n"});
        } else {
            QCOMPARE(fixture.session.state(), State::autoRefreshOff);
            QCOMPARE(fixture.statuses.last(), Status::autoRefreshDisabled);
        }
    }
}

// Every change another copy or an editor makes shows at the next tick; a tick on an unchanged log reads
// none of it and shows nothing new, and after a failed read the log shows again even though unchanged.
void ChatSessionTest::ticksReadOnlyAChangedLog()
{
    SessionFixture fixture;
    fixture.writeLog("first \r\n \r\n\r\n\r\n");
    fixture.load(true, true);
    fixture.tick();
    const int reads = fixture.files.reads();
    fixture.tick();
    fixture.tick();
    QCOMPARE(fixture.files.reads(), reads);
    QCOMPARE(fixture.logs, QList<QByteArray>{"first \r\n \r\n\r\n\r\n"});

    const auto nextTickShows = [&](const char* step) {
        fixture.tick();
        QVERIFY2(!fixture.logs.isEmpty() && fixture.logs.last() == fixture.readLog(), step);
    };
    QVERIFY(!LiveLog::post(fixture.files, *fixture.workstation, fixture.share(), "second").failed());
    nextTickShows("post");
    QVERIFY(!LiveLog::clear(fixture.files, *fixture.workstation, fixture.share()).failed());
    nextTickShows("clear");
    rewriteInPlace(fixture.logPath(), "edited in place \r\n");
    nextTickShows("rewrite in place");

    fixture.files.failReads(QStringLiteral("Cannot read %1: the network path was not found"));
    fixture.tick();
    QCOMPARE(fixture.failures.size(), 1);
    fixture.files.failReads({});
    const qsizetype shown = fixture.logs.size();
    fixture.tick();
    QCOMPARE(fixture.logs.size(), shown + 1);
    QCOMPARE(fixture.logs.last(), QByteArray("edited in place \r\n"));
}

// Other bytes of the same size, written in place with the old time put back, look like the same log;
// the whole reads that ticks make now and then show them all the same.
void ChatSessionTest::changeTheShareCannotSeeIsShownWithinTenTicks()
{
    SessionFixture fixture;
    const QDateTime time = QDateTime::currentDateTimeUtc().addSecs(-60);
    fixture.writeLog("abc \r\n");
    rewriteInPlace(fixture.logPath(), "abc \r\n", time);
    fixture.load(true, true);
    fixture.tick();
    QCOMPARE(fixture.logs, QList<QByteArray>{"abc \r\n"});

    rewriteInPlace(fixture.logPath(), "xyz \r\n", time);
    int ticks = 0;
    while (fixture.logs.size() == 1 && ticks < ChatSession::wholeReadEvery) {
        fixture.tick();
        ++ticks;
    }
    QCOMPARE(fixture.logs.last(), QByteArray("xyz \r\n"));
}

QTEST_MAIN(ChatSessionTest)
#include "tst_chat_session.moc"

#include "livelog/code_page.h"
#include "livelog/live_log.h"
#include "livelog/live_log_format.h"
#include "livelog/status_texts.h"
#include "platform/fault_injecting_file_access.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
    void logThatIsAFolder();
    void everyByteDecodesAndRoundTrips();
    void unencodableCharactersAreNamed();

private:
    QByteArray log() const;

    std::unique_ptr<QTemporaryDir> m_share;
    FaultInjectingFileAccess m_files;
};

void LiveLogTest::init()
{
    m_share = std::make_unique<QTemporaryDir>();
    QVERIFY(m_share->isValid());
    m_files.failReads({});
    m_files.failWrites({});
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
    QCOMPARE(LiveLogFormat::fileName.size(), 19);
}

void LiveLogTest::postsGiveTheExactBytes()
{
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, share).failed());
    QCOMPARE(log(), QByteArray("\r\n"));

    QVERIFY(!LiveLog::post(m_files, share, "hello").failed());
    const LiveLog::PostResult second = LiveLog::post(m_files, share, "hi");
    QVERIFY(!second.failed());
    QCOMPARE(second.read.bytes, QByteArray("hello \r\n \r\n\r\n\r\n"));
    const QByteArray expected("hi \r\n \r\nhello \r\n \r\n\r\n\r\n\r\n");
    QCOMPARE(expected.size(), 25);
    QCOMPARE(log(), expected);
    QCOMPARE(LiveLog::read(m_files, share).bytes, expected);

    QVERIFY(!LiveLog::clear(m_files, share).failed());
    QVERIFY(!LiveLog::post(m_files, share, QByteArray()).failed());
    QCOMPARE(log(), QByteArray(" \r\n \r\n\r\n\r\n"));
    QCOMPARE(log().size(), 10);
}

void LiveLogTest::ownTextWithLineBreaks()
{
    const QString share = m_share->path();
    const QByteArray old("older \r\n \r\n\r\n\x00\xff\r\n", 16);
    QFile file(m_share->filePath(QStringLiteral("CHATSLATE-LIVE.LOG")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(old);
    file.close();
    QVERIFY(!LiveLog::post(m_files, share, "a\r\nb").failed());
    // Entries already there keep every byte, NUL and invalid bytes included.
    QCOMPARE(log(), QByteArray("a\r\nb \r\n \r\n") + old + "\r\n");
}

void LiveLogTest::clearCreatesOrResetsTheLog()
{
    const QString share = m_share->path();
    QCOMPARE(log(), QByteArray("<missing>"));
    QVERIFY(!LiveLog::clear(m_files, share).failed());
    QCOMPARE(log(), QByteArray("\r\n"));
    QVERIFY(!LiveLog::post(m_files, share, "x").failed());
    QVERIFY(!LiveLog::clear(m_files, share).failed());
    QCOMPARE(log(), QByteArray("\r\n"));
}

void LiveLogTest::missingLogFailsAndIsNotCreated()
{
    const FileReadResult result = LiveLog::read(m_files, m_share->path());
    QVERIFY(result.error.failed());
    QVERIFY(result.error.fileMissing);
    QVERIFY(result.error.message.contains(m_share->path()));
    QVERIFY(LiveLog::describe(result.error).contains(QStringLiteral("\"Clear Live Log\"")));
    QVERIFY(StatusText::readFailed(result.error)
                .startsWith(QStringLiteral("BD-ChatSlate - Live Log - Cannot read ")));
    QVERIFY(LiveLog::post(m_files, m_share->path(), "lost?").failed());
    QCOMPARE(log(), QByteArray("<missing>"));

    const FileReadResult noFolder = LiveLog::read(m_files, m_share->filePath(QStringLiteral("gone")));
    QVERIFY(noFolder.error.failed());
    QVERIFY(LiveLog::clear(m_files, m_share->filePath(QStringLiteral("gone"))).failed());
}

void LiveLogTest::failedReadWritesNothing()
{
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, share).failed());
    m_files.failReads(QStringLiteral("Cannot read %1: the network name is no longer available"));
    const LiveLog::PostResult result = LiveLog::post(m_files, share, "text");
    QVERIFY(result.failed());
    QVERIFY(result.error().message.contains(share));
    QCOMPARE(log(), QByteArray("\r\n"));
    // Neither a temporary file nor the lock is left beside the log.
    QCOMPARE(QDir(share).entryList(QDir::Files), QStringList{QStringLiteral("CHATSLATE-LIVE.LOG")});
}

void LiveLogTest::failedWriteKeepsOldLog()
{
    const QString share = m_share->path();
    QVERIFY(!LiveLog::clear(m_files, share).failed());
    QVERIFY(!LiveLog::post(m_files, share, "kept").failed());
    const QByteArray before = log();
    m_files.failWrites(QStringLiteral("Cannot write %1: no space left on device"));
    QVERIFY(LiveLog::post(m_files, share, "new").failed());
    QVERIFY(LiveLog::clear(m_files, share).failed());
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
    QVERIFY(!LiveLog::clear(m_files, backslashed).failed());
    QVERIFY(QFile::exists(m_share->filePath(QStringLiteral("sub/CHATSLATE-LIVE.LOG"))));

    const FileReadResult unc = LiveLog::read(m_files, QStringLiteral("\\\\SERVER\\Share"));
    QVERIFY(unc.error.failed());
    QVERIFY(unc.error.message.contains(QStringLiteral("\\\\SERVER\\Share\\CHATSLATE-LIVE.LOG")));
    QVERIFY(unc.error.message.contains(QStringLiteral("Mount the share")));
    QVERIFY(LiveLog::clear(m_files, QStringLiteral("\\\\SERVER\\Share")).failed());
#endif
}

void LiveLogTest::logThatIsAFolder()
{
    QVERIFY(QDir(m_share->path()).mkdir(QStringLiteral("CHATSLATE-LIVE.LOG")));
    QVERIFY(LiveLog::read(m_files, m_share->path()).error.failed());
    QVERIFY(LiveLog::post(m_files, m_share->path(), "x").failed());
    QVERIFY(LiveLog::clear(m_files, m_share->path()).failed());
    QVERIFY(QFileInfo(m_share->filePath(QStringLiteral("CHATSLATE-LIVE.LOG"))).isDir());
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

void LiveLogTest::unencodableCharactersAreNamed()
{
    const CodePage::Encoded encoded =
        CodePage::encode(QString::fromUtf8("caf\u00e9 \u4e2d\u6587 \u4e2d \U0001F600!"));
    QCOMPARE(encoded.bytes, QByteArray("caf\xe9 ?? ? ?!"));
    QCOMPARE(encoded.unencodable, QString::fromUtf8("\u4e2d\u6587\U0001F600"));
}

QTEST_GUILESS_MAIN(LiveLogTest)
#include "tst_live_log.moc"

#include "livelog/live_log_format.h"
#include "livelog/log_lines.h"

#include <QTest>

namespace {

QStringList linesOf(const LogLines& lines)
{
    QStringList all;
    for (qsizetype index = 0; index < lines.count(); ++index)
        all << lines.line(index);
    return all;
}

LogLines wholeIndex(const QByteArray& bytes)
{
    LogLines lines;
    lines.assign(bytes);
    return lines;
}

} // namespace

// The reading thread indexes a new log against the one on display: the result must be the lines a whole
// index finds, and the log on display must stay as it was, as the window may paint from it meanwhile.
class LogLinesTest : public QObject
{
    Q_OBJECT

private slots:
    void indexedAgainstTheLogShown()
    {
        const QByteArray old =
            LiveLogFormat::composePost("older\r\nsecond line", LiveLogFormat::clearedLog());
        const LogLines shown = wholeIndex(old);
        const QStringList shownLines = linesOf(shown);
        const QByteArray posted =
            LiveLogFormat::composePost("a much longer newest entry", LiveLogFormat::composePost("b", old));

        std::optional<qsizetype> linesInFront;
        const LogLines grown = LogLines::indexed({posted, {}}, &shown, linesInFront);
        // Each one-line post puts two lines in front: its text and the separator's blank line.
        QCOMPARE(linesInFront, std::optional<qsizetype>(4));
        QCOMPARE(linesOf(grown), linesOf(wholeIndex(posted)));
        QCOMPARE(grown.longest(), 0);
        QCOMPARE(linesOf(shown), shownLines);
        QCOMPARE(shown.bytes(), old);

        // A cleared log is no growth of the old one; the memory of a log let go of is reused for it.
        LogLines released = wholeIndex(posted);
        LogLines::Memory memory = released.release();
        QCOMPARE(released.count(), wholeIndex({}).count());
        memory.bytes = LiveLogFormat::clearedLog();
        const LogLines cleared = LogLines::indexed(std::move(memory), &grown, linesInFront);
        QVERIFY(!linesInFront);
        QCOMPARE(linesOf(cleared), linesOf(wholeIndex(LiveLogFormat::clearedLog())));
    }
};

QTEST_GUILESS_MAIN(LogLinesTest)
#include "tst_log_lines.moc"

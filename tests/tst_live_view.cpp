#include "livelog/code_page.h"
#include "livelog/live_log_format.h"
#include "windows/main/live_view.h"

#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>

// The view lays out only what changed; whatever route it takes, it must show exactly what a full decode
// of the log would show.
class LiveViewTest : public QObject
{
    Q_OBJECT

private slots:
    void matchesFullDecodeAfterAnyChange();
    void statusKeepsTheLogAside();

private:
    static QString fullDecode(const QByteArray& log);
};

QString LiveViewTest::fullDecode(const QByteArray& log)
{
    QPlainTextEdit reference;
    reference.setPlainText(CodePage::decode(log));
    return reference.toPlainText();
}

void LiveViewTest::matchesFullDecodeAfterAnyChange()
{
    QRandomGenerator random(20261207);
    LiveView view(nullptr);
    QByteArray log = LiveLogFormat::clearedLog();
    const auto entry = [&random] {
        static const QByteArray pieces[] = {"hello", "a\r\nb", "\r\n",         "\r",
                                            "\n",    " ",      "\x81\xe9\x00", "x\r\n\r\n"};
        QByteArray text;
        for (quint32 count = random.bounded(4); count > 0; --count)
            text += pieces[random.bounded(int(std::size(pieces)))];
        return text;
    };

    for (int round = 0; round < 400; ++round) {
        const quint32 change = random.bounded(10);
        if (change < 6) {
            for (quint32 posts = 1 + random.bounded(3); posts > 0; --posts)
                log = LiveLogFormat::composePost(entry(), log);
        } else if (change == 6) {
            log = LiveLogFormat::clearedLog();
        } else if (change == 7) {
            log = entry() + entry(); // a rewrite by some other program
        } else if (change == 8) {
            view.showStatus(QStringLiteral("Refreshing ChatSlate Live Log..."));
        }
        view.showLog(log);
        QCOMPARE(view.shownLog(), std::optional<QByteArray>(log));
        QCOMPARE(view.toPlainText(), fullDecode(log));
    }

    // Text in front that is no post: a CR before the old log's leading LF is a single line end.
    const QByteArray old("\nX \r\n \r\n\r\n");
    view.showLog(old);
    const QByteArray joined = "Y\r" + old + "\r\n";
    view.showLog(joined);
    QCOMPARE(view.toPlainText(), fullDecode(joined));
}

void LiveViewTest::statusKeepsTheLogAside()
{
    LiveView view(nullptr);
    view.resize(300, 100);
    QByteArray log = LiveLogFormat::clearedLog();
    for (int post = 0; post < 50; ++post)
        log = LiveLogFormat::composePost("entry " + QByteArray::number(post), log);
    view.showLog(log);
    view.showStatus(QStringLiteral("Loading..."));
    QCOMPARE(view.toPlainText(), QStringLiteral("Loading..."));
    QVERIFY(!view.shownLog().has_value());

    view.showLog(log);
    QCOMPARE(view.toPlainText(), fullDecode(log));
    QCOMPARE(view.verticalScrollBar()->value(), 0);
    view.showStatus(QStringLiteral("Loading..."));
    const QByteArray grown = LiveLogFormat::composePost("newest", log);
    view.showLog(grown);
    QCOMPARE(view.toPlainText(), fullDecode(grown));
    QVERIFY(view.toPlainText().startsWith(QStringLiteral("newest")));
}

QTEST_MAIN(LiveViewTest)
#include "tst_live_view.moc"

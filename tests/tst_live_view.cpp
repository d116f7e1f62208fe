#include "livelog/live_log_format.h"
#include "text/code_page.h"
#include "windows/main/live_view.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <limits>

// The view indexes only what changed; whatever route it takes, it must show exactly what a full decode
// of the log would show. And it must behave as a read-only text field does under mouse and keys.
class LiveViewTest : public QObject
{
    Q_OBJECT

private slots:
    void matchesFullDecodeAfterAnyChange();
    void statusKeepsTheLogAside();
    void selectsAndCopiesByMouseAndKeys();
    void longLineIsReachableEverywhere();
    void contextMenuSelectsAllAndCopies();
    void scrollsByWheelAndKeys();

private:
    static QStringList fullDecode(const QByteArray& log);
    static QString lineOf(LiveView& view, qsizetype line);
    static QByteArray logOf(int entries);
    // The middle of a line on screen, at its left edge or far beyond its end.
    static QPoint pointAt(const LiveView& view, int lineOnScreen, bool atEnd);
};

QStringList LiveViewTest::fullDecode(const QByteArray& log)
{
    return CodePage::decode(log).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
}

QString LiveViewTest::lineOf(LiveView& view, qsizetype line)
{
    view.setSelection({line, 0}, {line, std::numeric_limits<qsizetype>::max()});
    return view.selectedText();
}

QByteArray LiveViewTest::logOf(int entries)
{
    QByteArray log = LiveLogFormat::clearedLog();
    for (int entry = 0; entry < entries; ++entry)
        log = LiveLogFormat::composePost("entry " + QByteArray::number(entry), log);
    return log;
}

QPoint LiveViewTest::pointAt(const LiveView& view, int lineOnScreen, bool atEnd)
{
    const int height = view.fontMetrics().lineSpacing();
    return {atEnd ? view.viewport()->width() - 2 : 1, 4 + lineOnScreen * height + height / 2};
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
    const auto check = [&](const QByteArray& shown) {
        const QStringList lines = fullDecode(shown);
        QCOMPARE(view.shownLog(), std::optional<QByteArray>(shown));
        QCOMPARE(view.toPlainText(), lines.join(QLatin1Char('\n')));
        QCOMPARE(view.lineCount(), lines.size());
        // Lines one by one, through the index: the first, the last and a few in between.
        for (const qsizetype line :
             {qsizetype(0), lines.size() - 1, qsizetype(random.bounded(int(lines.size()))),
              qsizetype(random.bounded(int(lines.size())))})
            QCOMPARE(lineOf(view, line), lines.at(line));
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
        check(log);
        if (QTest::currentTestFailed())
            return;
    }

    // Text in front that is no post: a CR before the old log's leading LF is a single line end.
    const QByteArray old("\nX \r\n \r\n\r\n");
    view.showLog(old);
    const QByteArray joined = "Y\r" + old + "\r\n";
    view.showLog(joined);
    check(joined);
}

void LiveViewTest::statusKeepsTheLogAside()
{
    LiveView view(nullptr);
    view.resize(300, 100);
    view.show();
    const QByteArray log = logOf(50);
    view.showLog(log);
    const QString status = QStringLiteral("Cannot read\n/mnt/chat/CHATSLATE-LIVE.LOG\r\nPermission denied");
    view.showStatus(status);
    QCOMPARE(view.lineCount(), 3);
    QCOMPARE(view.toPlainText(),
             QStringLiteral("Cannot read\n/mnt/chat/CHATSLATE-LIVE.LOG\nPermission denied"));
    QVERIFY(!view.shownLog().has_value());

    view.showLog(log);
    QCOMPARE(view.toPlainText(), fullDecode(log).join(QLatin1Char('\n')));
    QCOMPARE(view.verticalScrollBar()->value(), 0);
    view.showStatus(status);
    const QByteArray grown = LiveLogFormat::composePost("newest", log);
    view.showLog(grown);
    QCOMPARE(view.toPlainText(), fullDecode(grown).join(QLatin1Char('\n')));
    QVERIFY(view.toPlainText().startsWith(QStringLiteral("newest")));

    // A status wraps at the view's width, so that none of it is out of sight sideways; the log does not.
    const QString longStatus = QStringLiteral("Cannot read /") + QString(200, QLatin1Char('x'));
    view.showStatus(longStatus);
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
    QCOMPARE(view.toPlainText(), longStatus);
    view.showLog("/" + QByteArray(200, 'y') + "\r\n");
    QVERIFY(view.horizontalScrollBar()->maximum() > 0);
}

void LiveViewTest::selectsAndCopiesByMouseAndKeys()
{
    LiveView view(nullptr);
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.showLog("first line \r\nsecond line \r\nthird line \r\n");

    // A drag from the start of the first line to beyond the end of the second selects across the line end.
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, pointAt(view, 0, false));
    QTest::mouseMove(view.viewport(), pointAt(view, 1, true));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, pointAt(view, 1, true));
    QCOMPARE(view.selectedText(), QStringLiteral("first line \nsecond line "));

    // Keys go on from there; without Shift they only move.
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), QStringLiteral("first line \nsecond line \nthird line "));
    QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("first line \nsecond line \nthird line"));
    QTest::keyClick(&view, Qt::Key_Home);
    QVERIFY(!view.hasSelection());
    // By words, on across the line's end and back.
    for (const char* selected : {"third ", "third line ", "third line \n"}) {
        QTest::keyClick(&view, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(view.selectedText(), QString::fromLatin1(selected));
    }
    QTest::keyClick(&view, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), QStringLiteral("third "));

    // A click with Shift extends; a double click takes the word.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, pointAt(view, 0, false));
    QCOMPARE(view.selectedText(), QStringLiteral("first line \nsecond line \n"));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, pointAt(view, 1, false));
    QCOMPARE(view.selectedText(), QStringLiteral("second"));

    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.selectedText(), view.toPlainText());
}

// A line far too long to lay out whole: each word is numbered, so that every place along it is known.
void LiveViewTest::longLineIsReachableEverywhere()
{
    LiveView view(nullptr);
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QByteArray line;
    for (int word = 0; word < 40000; ++word)
        line += "w" + QByteArray::number(word) + ' ';
    line += "END";
    view.showLog(line + "\r\nnext line\r\n");
    QScrollBar* sideways = view.horizontalScrollBar();
    QVERIFY(sideways->maximum() > 100 * view.viewport()->width());

    // The end of the line by key, in view, and the last word by word-wise selection.
    QTest::keyClick(&view, Qt::Key_End);
    QVERIFY(sideways->value() > sideways->maximum() - view.viewport()->width());
    QTest::keyClick(&view, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), QStringLiteral("END"));
    QTest::keyClick(&view, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), QString::fromLatin1(line));
    QCOMPARE(sideways->value(), 0);

    // Anywhere in between, what the mouse points at is the word shown there.
    for (const int share : {3, 2}) {
        sideways->setValue(sideways->maximum() / share);
        const QPoint middle(view.viewport()->width() / 2, pointAt(view, 0, false).y());
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, middle);
        const QString word = view.selectedText();
        QVERIFY2(word.size() > 1 && word.startsWith(QLatin1Char('w')), qPrintable(word));
        const qsizetype at = line.indexOf(QByteArray(" " + word.toLatin1() + " ")) + 1;
        QVERIFY(at > 0);
        const qreal shownAt = qreal(at) / line.size();
        QVERIFY2(std::abs(shownAt - 1.0 / share) < 0.02, qPrintable(QString::number(shownAt)));
        view.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), word);
    }
}

void LiveViewTest::contextMenuSelectsAllAndCopies()
{
    LiveView view(nullptr);
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.showLog(logOf(3));
    QGuiApplication::clipboard()->clear();

    const auto chooseFromMenu = [&](const char* action, bool expectEnabled) {
        QTimer::singleShot(0, &view, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            auto* chosen = menu->findChild<QAction*>(QString::fromLatin1(action));
            QVERIFY(chosen);
            QCOMPARE(chosen->isEnabled(), expectEnabled);
            chosen->trigger();
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, {10, 10},
                                view.viewport()->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(view.viewport(), &event);
    };
    chooseFromMenu("edit-copy", false);
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    chooseFromMenu("select-all", true);
    chooseFromMenu("edit-copy", true);
    QCOMPARE(QGuiApplication::clipboard()->text(), fullDecode(logOf(3)).join(QLatin1Char('\n')));
}

void LiveViewTest::scrollsByWheelAndKeys()
{
    LiveView view(nullptr);
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.showLog(logOf(100));
    QScrollBar* scrollBar = view.verticalScrollBar();
    QVERIFY(scrollBar->maximum() > 100);

    QWheelEvent wheel(QPointF(50, 50), view.viewport()->mapToGlobal(QPointF(50, 50)), {}, QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    QCOMPARE(scrollBar->value(), QApplication::wheelScrollLines());

    // What shows at the top is what a click there reaches.
    scrollBar->setValue(10);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, pointAt(view, 0, false));
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), fullDecode(logOf(100)).at(10));

    // Keys keep the cursor on screen.
    QTest::keyClick(&view, Qt::Key_PageDown);
    QVERIFY(scrollBar->value() > 10);
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(scrollBar->value(), scrollBar->maximum());
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(scrollBar->value(), 0);
}

QTEST_MAIN(LiveViewTest)
#include "tst_live_view.moc"

#include "livelog/live_log_format.h"
#include "windows/main/live_view.h"
#include "windows/main/live_view_accessible.h"

#include <QAccessible>
#include <QRandomGenerator>
#include <QTest>

// What a screen reader reads of the live view through Qt's accessibility: the same text the view
// shows, however the view came by it, and events that keep the reader's idea of it current.
class LiveViewAccessibleTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void readsTheShownTextAfterAnyChange();
    void readsByCharacterWordAndLine_data();
    void readsByCharacterWordAndLine();
    void placesLeadBackToTheirCharacters_data();
    void placesLeadBackToTheirCharacters();
    void tellsOfChanges();

private:
    struct Event
    {
        QAccessible::Event type;
        int position = -1;
        QString removed;
        QString inserted;
    };
    static void record(QAccessibleEvent* event);
    static QAccessibleTextInterface* textOf(LiveView& view);

    static inline QList<Event> s_events;
};

void LiveViewAccessibleTest::record(QAccessibleEvent* event)
{
    Event recorded{event->type(), -1, {}, {}};
    if (event->type() == QAccessible::TextUpdated) {
        auto* update = static_cast<QAccessibleTextUpdateEvent*>(event);
        recorded = {event->type(), update->changePosition(), update->textRemoved(), update->textInserted()};
    } else if (event->type() == QAccessible::TextInserted) {
        auto* insert = static_cast<QAccessibleTextInsertEvent*>(event);
        recorded = {event->type(), insert->changePosition(), QString(), insert->textInserted()};
    } else if (event->type() == QAccessible::TextCaretMoved) {
        recorded.position = static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition();
    } else if (event->type() == QAccessible::TextSelectionChanged) {
        auto* selection = static_cast<QAccessibleTextSelectionEvent*>(event);
        recorded.position = selection->selectionStart();
        recorded.inserted = QString::number(selection->selectionEnd());
    }
    s_events.append(recorded);
}

void LiveViewAccessibleTest::initTestCase()
{
    QAccessible::installUpdateHandler(&LiveViewAccessibleTest::record);
    // The bridge to the accessibility bus comes up once the program has connected to it.
    LiveViewAccessible::install();
    QTRY_VERIFY(QAccessible::isActive());
}

void LiveViewAccessibleTest::init()
{
    s_events.clear();
}

QAccessibleTextInterface* LiveViewAccessibleTest::textOf(LiveView& view)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&view);
    return iface ? iface->textInterface() : nullptr;
}

void LiveViewAccessibleTest::readsTheShownTextAfterAnyChange()
{
    QRandomGenerator random(20261208);
    LiveView view(nullptr);
    QAccessibleTextInterface* text = textOf(view);
    QVERIFY(text);
    QByteArray log = LiveLogFormat::clearedLog();
    for (int round = 0; round < 150; ++round) {
        const quint32 change = random.bounded(8);
        if (change < 5) {
            for (quint32 posts = 1 + random.bounded(3); posts > 0; --posts)
                log = LiveLogFormat::composePost(random.bounded(2) ? "a\r\nb \xe9" : "x\ry", log);
            view.showLog(log);
        } else if (change == 5) {
            view.showStatus(QStringLiteral("Cannot read\n/share/CHATSLATE-LIVE.LOG"));
        } else {
            log = LiveLogFormat::clearedLog();
            view.showLog(log);
        }
        // Asked only now and then, so that the index is both built afresh and kept up across posts.
        if (random.bounded(3) != 0)
            continue;
        const QString shown = view.toPlainText();
        QCOMPARE(text->characterCount(), shown.size());
        QCOMPARE(text->text(0, text->characterCount()), shown);
        const int from = int(random.bounded(int(shown.size()) + 1));
        const int to = from + int(random.bounded(int(shown.size()) - from + 1));
        QCOMPARE(text->text(from, to), shown.mid(from, to - from));
    }
}

void LiveViewAccessibleTest::readsByCharacterWordAndLine_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("boundary");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");

    // The view shows "first line\nsecond entry here\n\n...": offsets into that.
    QTest::newRow("character") << 13 << int(QAccessible::CharBoundary) << "c"
                               << "e"
                               << "o";
    QTest::newRow("word") << 14 << int(QAccessible::WordBoundary) << "second"
                          << "\n"
                          << " ";
    QTest::newRow("line") << 14 << int(QAccessible::LineBoundary) << "second entry here\n"
                          << "first line\n"
                          << "\n";
    QTest::newRow("line end") << 10 << int(QAccessible::CharBoundary) << "\n"
                              << "e"
                              << "s";
    QTest::newRow("whole text") << 3 << int(QAccessible::NoBoundary) << "first line\nsecond entry here\n\n"
                                << ""
                                << "";
}

void LiveViewAccessibleTest::readsByCharacterWordAndLine()
{
    QFETCH(int, offset);
    QFETCH(int, boundary);
    const auto type = QAccessible::TextBoundaryType(boundary);
    LiveView view(nullptr);
    view.showLog("first line\r\nsecond entry here\r\n\r\n");
    QAccessibleTextInterface* text = textOf(view);
    int start = -1;
    int end = -1;
    QTEST(text->textAtOffset(offset, type, &start, &end), "at");
    QCOMPARE(text->text(start, end), text->textAtOffset(offset, type, &start, &end));
    QTEST(text->textBeforeOffset(offset, type, &start, &end), "before");
    QTEST(text->textAfterOffset(offset, type, &start, &end), "after");
}

void LiveViewAccessibleTest::placesLeadBackToTheirCharacters_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("offset");
    QTest::newRow("short line") << QByteArray("first\r\nsecond line\r\n") << QString() << 9;
    // Measured rather than laid out whole, and scrolled to.
    QTest::newRow("long line") << QByteArray("x") + QByteArray(9000, 'w') + "\r\n" << QString() << 6000;
    QTest::newRow("wrapped status") << QByteArray()
                                    << QStringLiteral("Cannot read ") + QString(80, QLatin1Char('z')) << 70;
}

// A character's place on screen is where a reader's pointer finds that character again.
void LiveViewAccessibleTest::placesLeadBackToTheirCharacters()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, status);
    QFETCH(int, offset);
    LiveView view(nullptr);
    view.resize(300, 100);
    view.show();
    if (status.isEmpty())
        view.showLog(log);
    else
        view.showStatus(status);
    QAccessibleTextInterface* text = textOf(view);
    text->scrollToSubstring(offset, offset + 1);
    const QRect place = text->characterRect(offset);
    QVERIFY(!place.isEmpty());
    QVERIFY(
        QRect(view.viewport()->mapToGlobal(QPoint(0, 0)), view.viewport()->size()).contains(place.center()));
    QCOMPARE(text->offsetAtPoint(place.center()), offset);
}

void LiveViewAccessibleTest::tellsOfChanges()
{
    LiveView view(nullptr);
    const QByteArray log = LiveLogFormat::composePost("old", LiveLogFormat::clearedLog());
    view.showLog(log);
    const int oldCount = textOf(view)->characterCount();
    s_events.clear();

    // A post in front: only the new lines, and the line end the post adds at the very end.
    view.showLog(LiveLogFormat::composePost("new", log));
    QVERIFY(!s_events.isEmpty());
    QCOMPARE(s_events.at(0).type, QAccessible::TextInserted);
    QCOMPARE(s_events.at(0).position, 0);
    QCOMPARE(s_events.at(0).inserted, QStringLiteral("new \n \n"));
    QCOMPARE(s_events.at(1).type, QAccessible::TextInserted);
    QCOMPARE(s_events.at(1).position, oldCount + 7);
    QCOMPARE(s_events.at(1).inserted, QStringLiteral("\n"));
    QCOMPARE(textOf(view)->characterCount(), view.toPlainText().size());

    // A status replaces all of it.
    const int count = textOf(view)->characterCount();
    s_events.clear();
    view.showStatus(QStringLiteral("Refreshing ChatSlate Live Log..."));
    QCOMPARE(s_events.at(0).type, QAccessible::TextUpdated);
    QCOMPARE(s_events.at(0).removed.size(), count);
    QCOMPARE(s_events.at(0).inserted, QStringLiteral("Refreshing ChatSlate Live Log..."));

    s_events.clear();
    view.setSelection({0, 2}, {0, 6});
    QCOMPARE(s_events.at(0).type, QAccessible::TextCaretMoved);
    QCOMPARE(s_events.at(0).position, 6);
    QCOMPARE(s_events.at(1).type, QAccessible::TextSelectionChanged);
    QCOMPARE(s_events.at(1).position, 2);
    QCOMPARE(s_events.at(1).inserted, QStringLiteral("6"));
}

QTEST_MAIN(LiveViewAccessibleTest)
#include "tst_live_view_accessible.moc"

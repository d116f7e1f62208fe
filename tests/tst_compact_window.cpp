#include "fakes/memory_settings_store.h"
#include "fakes/recording_window_order.h"
#include "session/interval_timer.h"
#include "support/main_window_fixture.h"
#include "windows/common/tick_box.h"
#include "windows/compact/always_on_top_tick.h"
#include "windows/compact/compact_window.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QTest>

using Answers = QList<NativeWindow>;
Q_DECLARE_METATYPE(Answers)

class CompactWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void tick_data();
    void tick();
    void load_data();
    void load();
    void unloadAndReload();
    void mirroringAtMainWindowLoad_data();
    void mirroringAtMainWindowLoad();
    void mainWindowHandlerWinsOverCompactLoad();
    void timerTicksThroughTheWindowOrder();
    void badgeWhileMinimised();
    void closingTheBadgeUnloadsIt();
    void programEndKeepsTheMainWindowsTick();

private:
    static IntervalTimer* timerOf(CompactWindow& compact);
    static TickBox* tickOf(CompactWindow& compact);
};

IntervalTimer* CompactWindowTest::timerOf(CompactWindow& compact)
{
    return compact.findChild<IntervalTimer*>("AlwaysOnTopTimer");
}

TickBox* CompactWindowTest::tickOf(CompactWindow& compact)
{
    return compact.findChild<TickBox*>("AlwaysOnTopTimer_TICKBOX");
}

void CompactWindowTest::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void CompactWindowTest::tick_data()
{
    QTest::addColumn<Answers>("foreground"); // successive answers; the last one repeats
    QTest::addColumn<NativeWindow>("mainWindow");
    QTest::addColumn<QStringList>("calls");

    constexpr NativeWindow compact = 11, main = 22, other = 33, another = 44;
    QTest::newRow("compact in front") << Answers{compact} << main << QStringList{"foreground"};
    QTest::newRow("main in front") << Answers{main} << main
                                   << QStringList{"foreground", "topmost 11", "topmost 22"};
    QTest::newRow("other in front") << Answers{other} << main
                                    << QStringList{"foreground", "foreground", "drop 33", "topmost 11",
                                                   "topmost 22"};
    QTest::newRow("foreground changes between questions")
        << Answers{other, another} << main
        << QStringList{"foreground", "foreground", "drop 44", "topmost 11", "topmost 22"};
    QTest::newRow("own window comes to the front meanwhile")
        << Answers{other, main} << main
        << QStringList{"foreground", "foreground", "topmost 11", "topmost 22"};
    QTest::newRow("no foreground") << Answers{0} << main
                                   << QStringList{"foreground", "foreground", "topmost 11", "topmost 22"};
    QTest::newRow("main window not raised")
        << Answers{other} << NativeWindow(0)
        << QStringList{"foreground", "foreground", "drop 33", "topmost 11"};
}

void CompactWindowTest::tick()
{
    QFETCH(Answers, foreground);
    QFETCH(NativeWindow, mainWindow);
    QFETCH(QStringList, calls);
    RecordingWindowOrder order;
    order.setForeground(foreground);
    AlwaysOnTop::tick(order, 11, mainWindow);
    QCOMPARE(order.calls(), calls);
}

void CompactWindowTest::load_data()
{
    QTest::addColumn<QString>("storedTick"); // empty: no key
    QTest::addColumn<short>("tick");
    QTest::addColumn<bool>("timerEnabled");

    QTest::newRow("empty store") << QString() << short(1) << true;
    QTest::newRow("stored 1") << "1" << short(1) << true;
    QTest::newRow("stored 0") << "0" << short(0) << false;
    QTest::newRow("stored 2") << "2" << short(2) << false;
    QTest::newRow("out of range") << "7" << short(1) << true;
    QTest::newRow("not a number") << "yes" << short(1) << true;
}

void CompactWindowTest::load()
{
    QFETCH(QString, storedTick);
    QFETCH(short, tick);
    QFETCH(bool, timerEnabled);
    MemorySettingsStore store;
    if (!storedTick.isEmpty())
        store.values().insert("AlwaysOnTopTimer_TICKBOX", storedTick);
    RecordingWindowOrder order;
    CompactWindow compact(store, order, nullptr);

    QVERIFY(!compact.isVisible());
    QCOMPARE(compact.windowTitle(), QStringLiteral("         BD-CHATSLATE"));
    QVERIFY(compact.windowFlags().testFlag(Qt::Tool));
    QCOMPARE(compact.pos(), QPoint(67, 67));
    QCOMPARE(compact.size(), QSize(152, 69));
    QCOMPARE(tickOf(compact)->value(), tick);
    QVERIFY(tickOf(compact)->isHidden());
    QCOMPARE(timerOf(compact)->interval(), 1000);
    QCOMPARE(timerOf(compact)->isEnabled(), timerEnabled);
    QCOMPARE(timerOf(compact)->isRunning(), timerEnabled);
    QVERIFY(order.calls().isEmpty());
}

void CompactWindowTest::unloadAndReload()
{
    MemorySettingsStore store;
    store.values().insert("MINI-MAIN-Width", "3000");
    RecordingWindowOrder order;
    {
        CompactWindow compact(store, order, nullptr);
        compact.setTick(TickBox::unticked);
        compact.move(200, 150);
        compact.close();
        QVERIFY(!timerOf(compact)->isEnabled());
        QCOMPARE(store.values().value("MINI-MAIN-Left"), QStringLiteral("3000"));
        QCOMPARE(store.values().value("MINI-MAIN-Top"), QStringLiteral("2250"));
        QCOMPARE(store.values().value("AlwaysOnTopTimer_TICKBOX"), QStringLiteral("0"));
        QVERIFY(!store.values().contains("MINI-MAIN-Height"));
    }
    CompactWindow again(store, order, nullptr);
    QCOMPARE(again.pos(), QPoint(200, 150));
    QCOMPARE(again.size(), QSize(200, 69));
    QVERIFY(!timerOf(again)->isEnabled());
}

void CompactWindowTest::mirroringAtMainWindowLoad_data()
{
    QTest::addColumn<QString>("storedTick");
    QTest::addColumn<bool>("created");
    QTest::addColumn<short>("mainTick");

    QTest::newRow("empty store") << QString() << false << short(1);
    QTest::newRow("stored 1") << "1" << false << short(1);
    QTest::newRow("not a number") << "x" << false << short(1);
    QTest::newRow("stored 0") << "0" << true << short(0);
    QTest::newRow("stored 2") << "2" << true << short(2);
}

void CompactWindowTest::mirroringAtMainWindowLoad()
{
    QFETCH(QString, storedTick);
    QFETCH(bool, created);
    QFETCH(short, mainTick);
    MainWindowFixture fixture;
    if (!storedTick.isEmpty())
        fixture.settingsStore.values().insert("AlwaysOnTopTimer_TICKBOX", storedTick);
    MainWindow* window = fixture.open();
    QCOMPARE(fixture.alwaysOnTop()->value(), mainTick);
    QCOMPARE(window->hasCompactWindow(), created);
    if (!created)
        return;
    CompactWindow& compact = window->compactWindow();
    QVERIFY(!compact.isVisible());
    QCOMPARE(tickOf(compact)->value(), TickBox::unticked);
    QVERIFY(!timerOf(compact)->isEnabled());
    QVERIFY(!timerOf(compact)->isRunning());
}

// The compact window's own load enables its timer from the stored "1"; the unticking that created it
// has the last word.
void CompactWindowTest::mainWindowHandlerWinsOverCompactLoad()
{
    MainWindowFixture fixture;
    MainWindow* window = fixture.open();
    QVERIFY(!window->hasCompactWindow());
    fixture.settingsStore.accesses().clear();
    QTest::mouseClick(fixture.alwaysOnTop(), Qt::LeftButton);
    QVERIFY(window->hasCompactWindow());
    QVERIFY(fixture.settingsStore.accesses().contains("read AlwaysOnTopTimer_TICKBOX"));
    CompactWindow& compact = window->compactWindow();
    QCOMPARE(tickOf(compact)->value(), TickBox::unticked);
    QVERIFY(!timerOf(compact)->isRunning());

    QTest::mouseClick(fixture.alwaysOnTop(), Qt::LeftButton);
    QCOMPARE(tickOf(compact)->value(), TickBox::ticked);
    QVERIFY(timerOf(compact)->isRunning());
    QCOMPARE(timerOf(compact)->interval(), 1000);
}

void CompactWindowTest::timerTicksThroughTheWindowOrder()
{
    MainWindowFixture fixture;
    fixture.settingsStore.values().insert("AlwaysOnTopTimer_TICKBOX", "0");
    MainWindow* window = fixture.open();
    CompactWindow& compact = window->compactWindow();
    QTest::mouseClick(fixture.alwaysOnTop(), Qt::LeftButton);
    QVERIFY(timerOf(compact)->isRunning());

    constexpr NativeWindow other = 0x7777;
    fixture.windowOrder.setForeground({other});
    emit timerOf(compact)->tick();
    const QString own = QString::number(compact.winId());
    const QString main = QString::number(window->winId());
    QCOMPARE(fixture.windowOrder.calls(),
             QStringList({"foreground", "foreground", "drop " + QString::number(other), "topmost " + own,
                          "topmost " + main}));
    QVERIFY(!compact.isVisible());

    fixture.windowOrder.calls().clear();
    QTest::mouseClick(fixture.alwaysOnTop(), Qt::LeftButton);
    QCOMPARE(fixture.windowOrder.calls(), QStringList({"drop " + main}));
    QVERIFY(!timerOf(compact)->isRunning());
}

void CompactWindowTest::badgeWhileMinimised()
{
    MainWindowFixture fixture;
    MainWindow* window = fixture.open();
    QVERIFY(!window->hasCompactWindow());

    window->showMinimized();
    QVERIFY(window->hasCompactWindow());
    CompactWindow& compact = window->compactWindow();
    QVERIFY(compact.isVisible());
    QVERIFY(timerOf(compact)->isRunning());
    QCOMPARE(tickOf(compact)->value(), TickBox::ticked);

    // Both labels and the background bring the main window back.
    for (const char* name : {"CHATSLATE", "BD_TITLE", ""}) {
        window->showMinimized();
        QVERIFY2(compact.isVisible(), name);
        QWidget* target = *name ? compact.findChild<QLabel*>(name) : static_cast<QWidget*>(&compact);
        QTest::mouseDClick(target, Qt::LeftButton, {}, *name ? QPoint() : QPoint(5, 60));
        QVERIFY2(!compact.isVisible(), name);
        QVERIFY2(!window->isMinimized(), name);
        QVERIFY2(window->isVisible(), name);
        QVERIFY(!window->isModal());
    }

    // A main window minimised without "Always On Top" has no badge.
    QTest::mouseClick(fixture.alwaysOnTop(), Qt::LeftButton);
    window->showMinimized();
    QVERIFY(!compact.isVisible());
    window->showNormal();
    QVERIFY(!compact.isVisible());

    // Nor while a dialog of the program blocks every other window, the badge too.
    QTest::mouseClick(fixture.alwaysOnTop(), Qt::LeftButton);
    QDialog dialog(window);
    dialog.setModal(true);
    dialog.show();
    window->showMinimized();
    QVERIFY(!window->hasCompactWindow() || !window->compactWindow().isVisible());
    dialog.close();
    window->showNormal();
    window->showMinimized();
    QVERIFY(window->compactWindow().isVisible());
}

void CompactWindowTest::closingTheBadgeUnloadsIt()
{
    MainWindowFixture fixture;
    MainWindow* window = fixture.open();
    window->showMinimized();
    QPointer<CompactWindow> first = &window->compactWindow();
    first->move(300, 30);
    first->close();
    QCOMPARE(fixture.settingsStore.values().value("MINI-MAIN-Left"), QStringLiteral("4500"));
    QVERIFY(!window->hasCompactWindow());
    QVERIFY(window->isVisible());
    QTRY_VERIFY(first.isNull());

    // The next minimising makes a new badge, loaded again.
    window->showNormal();
    fixture.settingsStore.accesses().clear();
    window->showMinimized();
    QVERIFY(window->hasCompactWindow());
    QVERIFY(window->compactWindow().isVisible());
    QVERIFY(fixture.settingsStore.accesses().contains("read MINI-MAIN-Left"));
}

void CompactWindowTest::programEndKeepsTheMainWindowsTick()
{
    MainWindowFixture fixture;
    fixture.settingsStore.values().insert("AlwaysOnTopTimer_TICKBOX", "2");
    MainWindow* window = fixture.open();
    window->compactWindow().move(300, 30);
    fixture.close();
    QCOMPARE(fixture.settingsStore.values().value("MINI-MAIN-Left"), QStringLiteral("4500"));
    QCOMPARE(fixture.settingsStore.values().value("MINI-MAIN-Top"), QStringLiteral("450"));
    // Mirrored into the compact window as 0, greyed in the main window: the greyed state is kept.
    QCOMPARE(fixture.settingsStore.values().value("AlwaysOnTopTimer_TICKBOX"), QStringLiteral("2"));
}

QTEST_MAIN(CompactWindowTest)
#include "tst_compact_window.moc"

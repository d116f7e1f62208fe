#include "support/main_window_fixture.h"

#include <QTest>

// Under a real X server and window manager, where windows get frames.
class MainWindowX11Test : public QObject
{
    Q_OBJECT

private slots:
    void outerFrameHasTheStoredSize();
    void minimisedWindowSavesItsNormalPosition();
};

void MainWindowX11Test::outerFrameHasTheStoredSize()
{
    MainWindowFixture fixture;
    MainWindow* window = fixture.open();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTRY_VERIFY(window->frameGeometry().height() > window->height());
    QTRY_COMPARE(window->frameGeometry().size(), QSize(728, 356));
    QTRY_COMPARE(window->frameGeometry().topLeft(), QPoint(67, 67));

    // The band of working fields stays below the visible client area.
    for (const char* name : {"BD_CHATSLATE_SHARE_TEXTBOX", "COMBINED_TEXT_TEXTBOX", "LINE_END_TEXTBOX"})
        QVERIFY2(fixture.control<QWidget>(name)->geometry().top() >= window->height(), name);
    QVERIFY(fixture.control<QWidget>("EXIT_BUTTON")->geometry().bottom() < window->height());
    QCOMPARE(window->minimumSize(), window->maximumSize());

    fixture.close();
    // Not moved: the loaded values go back, though 1000 twips is not a whole number of pixels.
    QCOMPARE(fixture.settingsStore.values().value("MAIN-Left"), QStringLiteral("1000"));
    QCOMPARE(fixture.settingsStore.values().value("MAIN-Top"), QStringLiteral("1000"));
}

void MainWindowX11Test::minimisedWindowSavesItsNormalPosition()
{
    MainWindowFixture fixture;
    MainWindow* window = fixture.open();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTRY_VERIFY(window->frameGeometry().height() > window->height());
    window->move(200, 150);
    QTRY_COMPARE(window->frameGeometry().topLeft(), QPoint(200, 150));
    window->showMinimized();
    QTRY_VERIFY(window->isMinimized());
    fixture.close();
    QCOMPARE(fixture.settingsStore.values().value("MAIN-Left"), QStringLiteral("3000"));
    QCOMPARE(fixture.settingsStore.values().value("MAIN-Top"), QStringLiteral("2250"));
}

QTEST_MAIN(MainWindowX11Test)
#include "tst_main_window_x11.moc"

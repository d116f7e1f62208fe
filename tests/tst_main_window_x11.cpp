#include "support/background_jobs.h"
#include "support/main_window_fixture.h"
#include "windows/common/message_box_reporter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

// Under a real X server and window manager, where windows get frames.
class MainWindowX11Test : public QObject
{
    Q_OBJECT

private slots:
    void outerFrameHasTheStoredSize();
    void minimisedWindowSavesItsNormalPosition();
    void longQuestionKeepsItsButtonsOnScreen();
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

// 64 KB of Chinese, none of which the log's code page holds: the question names a few of the characters,
// and all of it, buttons included, is on the screen.
void MainWindowX11Test::longQuestionKeepsItsButtonsOnScreen()
{
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.settingsStore.values().insert(QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("1"));
    fixture.writeLog("\r\n");
    MessageBoxReporter boxes;
    MainWindow window(ProgramServices{fixture.settingsStore, fixture.sharedFiles, fixture.workstation, boxes,
                                      fixture.windowOrder},
                      MainWindowFixture::refreshInterval);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QString chinese;
    for (char32_t character = 0x4E00; chinese.size() < 32768; ++character)
        chinese += QString::fromUcs4(&character, 1);
    window.findChild<QPlainTextEdit*>(QStringLiteral("BD_CHATSLATE_MY_TEXT_TEXTBOX"))->setPlainText(chinese);

    QRect frame;
    QList<QRect> buttons;
    QTimer::singleShot(0, this, [&] {
        QWidget* box = nullptr;
        QTRY_VERIFY((box = QApplication::activeModalWidget()) && QTest::qWaitForWindowExposed(box));
        QTRY_VERIFY(box->frameGeometry() != box->geometry());
        frame = box->frameGeometry();
        for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
            if (button->isVisible())
                buttons.append(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()));
        box->close();
    });
    window.findChild<QPushButton*>(QStringLiteral("CHATSLATE_BUTTON"))->click();
    waitForBackgroundJobs(&window);
    const QRect screen = window.screen()->availableGeometry();
    QVERIFY2(screen.contains(frame), qPrintable(QStringLiteral("%1 px tall").arg(frame.height())));
    QCOMPARE(buttons.size(), 2);
    for (const QRect& button : buttons)
        QVERIFY(screen.contains(button));
    QCOMPARE(fixture.readLog(), QByteArray("\r\n"));
}

QTEST_MAIN(MainWindowX11Test)
#include "tst_main_window_x11.moc"

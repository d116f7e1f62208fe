#include "session/interval_timer.h"
#include "support/background_jobs.h"
#include "support/main_window_fixture.h"
#include "support/platform_texts.h"
#include "windows/common/tick_box.h"
#include "windows/main/live_view.h"
#include "windows/main/status_texts.h"
#include "windows/settings/settings_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

using Drive = std::function<void(SettingsWindow*)>;

template <typename Control = QWidget> Control* control(QWidget* window, const char* name)
{
    return window->findChild<Control*>(QString::fromLatin1(name));
}

QLineEdit* shareField(QWidget* window)
{
    return control<QLineEdit>(window, "BD_CHATSLATE_SHARE_TEXTBOX");
}

// Clicks a button or tick box as a person would: only when it is enabled.
void click(QWidget* window, const char* name)
{
    auto* button = control<QAbstractButton>(window, name);
    QVERIFY2(button && button->isEnabled(), name);
    QTest::mouseClick(button, Qt::LeftButton);
    waitForBackgroundJobs(window);
}

void type(QWidget* window, const QString& text)
{
    QLineEdit* field = shareField(window);
    QVERIFY(field->isEnabled() && !field->isReadOnly());
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

// One line per control group, in the order of the window's state table.
QString arrangement(QWidget* window)
{
    const auto on = [&](const char* name) {
        return control(window, name)->isEnabled() ? QStringLiteral("on") : QStringLiteral("off");
    };
    auto* unlock = control<TickBox>(window, "UNLOCK_TICKBOX");
    return QStringLiteral("unlock %1 %2 | share %3%4 | load %5 clear %6 | save %7 | cancel %8 %9 | cfg %10")
        .arg(unlock->value())
        .arg(on("UNLOCK_TICKBOX"), on("BD_CHATSLATE_SHARE_TEXTBOX"),
             shareField(window)->isReadOnly() ? QStringLiteral(" locked") : QString(), on("LOAD_CFG_BUTTON"),
             on("CLEAR_LOG_BUTTON"), on("SAVE_REGISTRY_BUTTON"), on("CANCEL_BUTTON"),
             control<QPushButton>(window, "CANCEL_BUTTON")->text(), on("SAVE_CFG_BUTTON"));
}

const QString locked =
    QStringLiteral("unlock 0 on | share off locked | load off clear off | save off | cancel on "
                   "Cancel | cfg off");
const QString lockedAfterLoad =
    QStringLiteral("unlock 0 on | share off locked | load off clear off | save off | "
                   "cancel on Close | cfg off");
const QString unlocked =
    QStringLiteral("unlock 1 on | share on | load on clear on | save off | cancel off Cancel | cfg off");
const QString loaded =
    QStringLiteral("unlock 1 on | share on | load on clear on | save on | cancel off Close | cfg off");
const QString finished =
    QStringLiteral("unlock 0 off | share off locked | load off clear off | save off | cancel on "
                   "Close | cfg off");

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeConfig(const QByteArray& bytes)
{
    writeFile(QDir::current().filePath(QStringLiteral("CHATSLATE-SHARE.CFG")), bytes);
}

} // namespace

class SettingsWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void arrangements_data();
    void arrangements();
    void saveHandsShareToMainWindow_data();
    void saveHandsShareToMainWindow();
    void firstRunLeavesSevenKeys();
    void clearUsesFieldText();
    void failedClearChangesNothing_data();
    void failedClearChangesNothing();
    void closingWaitsForTheClear();
    void failedLoadChangesNothing_data();
    void failedLoadChangesNothing();
    void configurationContent_data();
    void configurationContent();
    void loadReadsWorkingDirectoryAfresh();
    void everyCloseSavesPosition_data();
    void everyCloseSavesPosition();
    void keyboard();
    void lookAndFreshOpening();
    void clicksOnlyFromStartToPost();

private:
    // Opens the settings window with the main window's button and runs `drive` inside its modal loop.
    // A window that `drive` leaves open is closed afterwards, so a failed check never hangs the test.
    static void withSettingsWindow(MainWindowFixture& fixture, const Drive& drive);

    std::unique_ptr<QTemporaryDir> m_workingDir;
    QString m_previousDir;
};

void SettingsWindowTest::withSettingsWindow(MainWindowFixture& fixture, const Drive& drive)
{
    bool driven = false;
    QTimer::singleShot(0, fixture.window(), [&] {
        driven = true;
        QPointer<SettingsWindow> window = fixture.window()->findChild<SettingsWindow*>();
        if (!window)
            return;
        if (QApplication::activeModalWidget() == window.data())
            drive(window);
        else
            QFAIL("the settings window is not modal");
        if (window && window->isVisible())
            window->reject();
    });
    QVERIFY(fixture.settingsButton()->isEnabled());
    QTest::mouseClick(fixture.settingsButton(), Qt::LeftButton);
    QVERIFY(driven);
    QVERIFY(!fixture.window()->findChild<SettingsWindow*>());
}

void SettingsWindowTest::init()
{
    m_previousDir = QDir::currentPath();
    m_workingDir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(m_workingDir->path()));
}

void SettingsWindowTest::cleanup()
{
    QVERIFY(QDir::setCurrent(m_previousDir));
    m_workingDir.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void SettingsWindowTest::arrangements_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("expected");

    QTest::newRow("opening") << QStringList() << locked;
    QTest::newRow("unlock") << QStringList{"unlock"} << unlocked;
    QTest::newRow("unlock, untick") << QStringList{"unlock", "unlock"} << locked;
    QTest::newRow("load") << QStringList{"unlock", "load"} << loaded;
    QTest::newRow("load twice") << QStringList{"unlock", "load", "load"} << loaded;
    QTest::newRow("load, untick") << QStringList{"unlock", "load", "unlock"} << lockedAfterLoad;
    // A later unlocked period needs a load of its own before a save.
    QTest::newRow("load, untick, unlock")
        << QStringList{"unlock", "load", "unlock", "unlock"}
        << QStringLiteral(
               "unlock 1 on | share on | load on clear on | save off | cancel off Close | cfg off");
    QTest::newRow("save") << QStringList{"unlock", "load", "save"} << finished;
    QTest::newRow("clear") << QStringList{"unlock", "clear"} << finished;
    QTest::newRow("load, clear") << QStringList{"unlock", "load", "clear"} << finished;
}

void SettingsWindowTest::arrangements()
{
    QFETCH(QStringList, clicks);
    MainWindowFixture fixture;
    fixture.storeShare();
    writeConfig(fixture.share().toUtf8());
    fixture.open();
    const QHash<QString, const char*> names{{"unlock", "UNLOCK_TICKBOX"},
                                            {"load", "LOAD_CFG_BUTTON"},
                                            {"save", "SAVE_REGISTRY_BUTTON"},
                                            {"clear", "CLEAR_LOG_BUTTON"}};
    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        for (const QString& name : clicks) {
            click(window, names.value(name));
            if (QTest::currentTestFailed())
                return;
        }
        QTEST(arrangement(window), "expected");
        QVERIFY(window->isVisible());
    });
    QVERIFY(fixture.messages.errors().isEmpty());
}

void SettingsWindowTest::saveHandsShareToMainWindow_data()
{
    QTest::addColumn<QString>("storedAutoRefresh");
    QTest::addColumn<bool>("untickFirst");
    QTest::addColumn<bool>("withShare");

    QTest::newRow("share, after the load") << "0" << false << true;
    QTest::newRow("share, after unticking") << "1" << true << true;
    // A greyed tick box keeps the button usable; the save's untick runs the switch nested.
    QTest::newRow("share, greyed") << "2" << false << true;
    QTest::newRow("empty, after unticking") << "1" << true << false;
    QTest::newRow("empty, greyed") << "2" << false << false;
}

void SettingsWindowTest::saveHandsShareToMainWindow()
{
    QFETCH(QString, storedAutoRefresh);
    QFETCH(bool, untickFirst);
    QFETCH(bool, withShare);
    MainWindowFixture fixture;
    fixture.storeShare(QStringLiteral("/before"));
    fixture.settingsStore.values().insert(QStringLiteral("AUTO_REFRESH_TICKBOX"), storedAutoRefresh);
    fixture.open();
    if (untickFirst)
        QTest::mouseClick(fixture.autoRefresh(), Qt::LeftButton);
    QCOMPARE(fixture.autoRefresh()->value(), short(storedAutoRefresh == "2" ? 2 : 0));
    fixture.liveView()->showStatus(QStringLiteral("last log"));
    const QString saved = withShare ? fixture.share() : QString();
    writeConfig(saved.toUtf8());

    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        click(window, "UNLOCK_TICKBOX");
        click(window, "LOAD_CFG_BUTTON");
        click(window, "SAVE_REGISTRY_BUTTON");
        // The main window has its new state while the settings window is still open.
        QCOMPARE(fixture.control<QLineEdit>("BD_CHATSLATE_SHARE_TEXTBOX")->text(), saved);
        QCOMPARE(arrangement(window), finished);
    });

    QCOMPARE(fixture.settingsStore.values().value(QStringLiteral("BD_CHATSLATE_SHARE"), "<absent>"), saved);
    QCOMPARE(fixture.autoRefresh()->value(), short(0));
    QCOMPARE(fixture.autoRefresh()->isEnabled(), withShare);
    QVERIFY(!fixture.postButton()->isEnabled());
    QVERIFY(!fixture.refreshButton()->isEnabled());
    QVERIFY(fixture.settingsButton()->isEnabled());
    QVERIFY(fixture.ownText()->isReadOnly());
    QVERIFY(!fixture.refreshTimer()->isRunning());
    QCOMPARE(fixture.liveText(), withShare ? StatusText::autoRefreshDisabled : QStringLiteral("last log"));
    QVERIFY(fixture.messages.errors().isEmpty());

    // Ticking "Auto Refresh" now works on the saved location.
    if (withShare) {
        fixture.writeLog("entry \r\n \r\n\r\n");
        QTest::mouseClick(fixture.autoRefresh(), Qt::LeftButton);
        fixture.waitForTick();
        QCOMPARE(fixture.liveText(), QStringLiteral("entry \n \n\n"));
    }
}

void SettingsWindowTest::firstRunLeavesSevenKeys()
{
    MainWindowFixture fixture;
    writeConfig("\\\\SERVER\\Share");
    fixture.open();
    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        click(window, "UNLOCK_TICKBOX");
        click(window, "LOAD_CFG_BUTTON");
        click(window, "SAVE_REGISTRY_BUTTON");
        click(window, "CANCEL_BUTTON");
    });
    fixture.close();

    const QMap<QString, QString> expected{
        {"SETTINGS-Left", "1000"},    {"SETTINGS-Top", "1000"}, {"BD_CHATSLATE_SHARE", "\\\\SERVER\\Share"},
        {"MAIN-Left", "1000"},        {"MAIN-Top", "1000"},     {"AlwaysOnTopTimer_TICKBOX", "1"},
        {"AUTO_REFRESH_TICKBOX", "0"}};
    QCOMPARE(fixture.settingsStore.values(), expected);
}

void SettingsWindowTest::clearUsesFieldText()
{
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.writeLog("stored share's log\r\n");
    QTemporaryDir typed;
    const QString typedLog = typed.filePath(QStringLiteral("CHATSLATE-LIVE.LOG"));
    writeFile(typedLog, "old entry \r\n \r\n\r\n");
    fixture.open();

    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        click(window, "UNLOCK_TICKBOX");
        type(window, typed.path());
        click(window, "CLEAR_LOG_BUTTON");
        QCOMPARE(arrangement(window), finished);
    });

    QCOMPARE(readFile(typedLog), QByteArray("\r\n"));
    QCOMPARE(fixture.readLog(), QByteArray("stored share's log\r\n"));
    // A clear stores nothing and leaves the main window on the location it had.
    QCOMPARE(fixture.settingsStore.values().value(QStringLiteral("BD_CHATSLATE_SHARE")), fixture.share());
    QCOMPARE(fixture.control<QLineEdit>("BD_CHATSLATE_SHARE_TEXTBOX")->text(), fixture.share());
    QVERIFY(fixture.messages.errors().isEmpty());
}

void SettingsWindowTest::failedClearChangesNothing_data()
{
    QTest::addColumn<QString>("fieldText"); // relative to the share folder; "<empty>" for none
    QTest::addColumn<bool>("refuseWrites");
    QTest::addColumn<QString>("messagePart"); // "<log>" for the log path as the clear named it

    QTest::newRow("write refused") << "" << true << "Cannot write <log>: Access is denied.";
    QTest::newRow("folder missing") << "/missing" << false << "<log>";
    QTest::newRow("no share location") << "<empty>" << false << "no share location is set";
}

void SettingsWindowTest::failedClearChangesNothing()
{
    QFETCH(QString, fieldText);
    QFETCH(bool, refuseWrites);
    QFETCH(QString, messagePart);
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.writeLog("kept entry \r\n \r\n\r\n");
    if (refuseWrites)
        fixture.files.failWrites(QStringLiteral("Cannot write %1: Access is denied."));
    fixture.open();
    const QString share = fieldText == "<empty>" ? QString() : fixture.share() + fieldText;
    const QString logPath = refuseWrites ? share + "\\CHATSLATE-LIVE.LOG" : PlatformTexts::logPathIn(share);

    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        click(window, "UNLOCK_TICKBOX");
        type(window, share);
        click(window, "CLEAR_LOG_BUTTON");
        QCOMPARE(arrangement(window), unlocked);
        QCOMPARE(shareField(window)->text(), share);
        QVERIFY(window->isVisible());
    });

    if (share.isEmpty())
        QCOMPARE(fixture.files.writes(), 0);
    QCOMPARE(fixture.messages.errors().size(), 1);
    const QString message = fixture.messages.errors().constFirst();
    QVERIFY2(message.contains(QString(messagePart).replace("<log>", logPath)), qPrintable(message));
    QCOMPARE(fixture.readLog(), QByteArray("kept entry \r\n \r\n\r\n"));
    QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("CHATSLATE-LIVE.LOG"))));
    QVERIFY(!QFile::exists(QDir::root().filePath(QStringLiteral("CHATSLATE-LIVE.LOG"))));
}

// Closed (Esc, its close box or Close) while a clear is under way, the window stays until the clear has
// ended: a failure is told there, and a success closes it.
void SettingsWindowTest::closingWaitsForTheClear()
{
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.writeLog("kept entry \r\n \r\n\r\n");
    fixture.files.failWrites(QStringLiteral("Cannot write %1: Access is denied."));
    fixture.open();
    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        click(window, "UNLOCK_TICKBOX");
        QTest::mouseClick(control<QAbstractButton>(window, "CLEAR_LOG_BUTTON"), Qt::LeftButton);
        window->reject();
        waitForBackgroundJobs(window);
        QVERIFY(window->isVisible());
        QCOMPARE(fixture.messages.errors().size(), 1);

        fixture.files.failWrites({});
        QTest::mouseClick(control<QAbstractButton>(window, "CLEAR_LOG_BUTTON"), Qt::LeftButton);
        window->reject();
        waitForBackgroundJobs(window);
        QVERIFY(!window->isVisible());
    });
    QCOMPARE(fixture.readLog(), QByteArray("\r\n"));
    QCOMPARE(fixture.messages.errors().size(), 1);
}

void SettingsWindowTest::failedLoadChangesNothing_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("messagePart");

    QTest::newRow("missing") << "missing"
                             << "The share configuration file is looked for in the folder";
    QTest::newRow("a folder of that name") << "folder"
                                           << "";
    QTest::newRow("unreadable") << "unreadable"
                                << "Access is denied.";
}

void SettingsWindowTest::failedLoadChangesNothing()
{
    QFETCH(QString, failure);
    QFETCH(QString, messagePart);
    MainWindowFixture fixture;
    fixture.storeShare(QStringLiteral("\\\\STORED\\Share"));
    const QString configPath =
        QDir::toNativeSeparators(QDir::current().filePath(QStringLiteral("CHATSLATE-SHARE.CFG")));
    if (failure == "folder")
        QVERIFY(QDir::current().mkdir(QStringLiteral("CHATSLATE-SHARE.CFG")));
    if (failure == "unreadable") {
        writeConfig("\\\\SERVER\\Share");
        fixture.files.failReads(QStringLiteral("Cannot read %1: Access is denied."));
    }
    fixture.open();

    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        click(window, "UNLOCK_TICKBOX");
        click(window, "LOAD_CFG_BUTTON");
        QCOMPARE(arrangement(window), unlocked);
        QCOMPARE(shareField(window)->text(), QStringLiteral("\\\\STORED\\Share"));
        QVERIFY(window->isVisible());
    });

    QCOMPARE(fixture.messages.errors().size(), 1);
    const QString message = fixture.messages.errors().constFirst();
    QVERIFY2(message.contains(configPath) && message.contains(messagePart), qPrintable(message));
}

void SettingsWindowTest::configurationContent_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    const QString server = QStringLiteral("\\\\SERVER\\Share");
    QTest::newRow("as written") << QByteArray("\\\\SERVER\\Share") << server;
    QTest::newRow("CR LF") << QByteArray("\\\\SERVER\\Share\r\n") << server;
    QTest::newRow("LF") << QByteArray("\\\\SERVER\\Share\n") << server;
    QTest::newRow("several line ends") << QByteArray("\\\\SERVER\\Share\r\n\r\n\n") << server;
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF\\\\SERVER\\Share\r\n") << server;
    QTest::newRow("UTF-8 after its byte-order mark")
        << QByteArray("\xEF\xBB\xBF\\\\SERVER\\\xC3\x89quipe\r\n")
        << QStringLiteral("\\\\SERVER\\\u00C9quipe");
    QTest::newRow("blanks kept") << QByteArray(" \\\\SERVER\\Share \t") << " \\\\SERVER\\Share \t";
    QTest::newRow("code page") << QByteArray("\\\\SERVER\\Caf\xE9")
                               << QStringLiteral("\\\\SERVER\\Caf\u00E9");
    QTest::newRow("further lines kept") << QByteArray("\\\\A\\x\r\nsecond\r\n") << "\\\\A\\x\r\nsecond";
    QTest::newRow("empty") << QByteArray() << QString();
}

void SettingsWindowTest::configurationContent()
{
    QFETCH(QByteArray, content);
    MainWindowFixture fixture;
    writeConfig(content);
    fixture.open();
    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        click(window, "UNLOCK_TICKBOX");
        click(window, "LOAD_CFG_BUTTON");
        QTEST(shareField(window)->text(), "expected");
        QCOMPARE(arrangement(window), loaded);
    });
    QVERIFY(fixture.messages.errors().isEmpty());
}

void SettingsWindowTest::loadReadsWorkingDirectoryAfresh()
{
    MainWindowFixture fixture;
    writeConfig("\\\\FIRST\\Share");
    QTemporaryDir other;
    writeFile(other.filePath(QStringLiteral("CHATSLATE-SHARE.CFG")), "\\\\OTHER\\Share");
    fixture.open();
    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        click(window, "UNLOCK_TICKBOX");
        click(window, "LOAD_CFG_BUTTON");
        QCOMPARE(shareField(window)->text(), QStringLiteral("\\\\FIRST\\Share"));
        writeConfig("\\\\CHANGED\\Share");
        click(window, "LOAD_CFG_BUTTON");
        QCOMPARE(shareField(window)->text(), QStringLiteral("\\\\CHANGED\\Share"));
        QVERIFY(QDir::setCurrent(other.path()));
        click(window, "LOAD_CFG_BUTTON");
        QCOMPARE(shareField(window)->text(), QStringLiteral("\\\\OTHER\\Share"));
    });
}

void SettingsWindowTest::everyCloseSavesPosition_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("close box, unlocked") << "close box";
    QTest::newRow("Esc, unlocked") << "esc";
    QTest::newRow("Close after a clear") << "clear, close";
}

void SettingsWindowTest::everyCloseSavesPosition()
{
    QFETCH(QString, how);
    MainWindowFixture fixture;
    fixture.storeShare();
    fixture.open();
    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        QCOMPARE(window->pos(), QPoint(67, 67));
        window->move(200, 100);
        fixture.settingsStore.accesses().clear();
        if (how == "cancel") {
            click(window, "CANCEL_BUTTON");
        } else {
            click(window, "UNLOCK_TICKBOX");
            if (how == "close box")
                window->close();
            if (how == "esc")
                QTest::keyClick(shareField(window), Qt::Key_Escape);
            if (how == "clear, close") {
                click(window, "CLEAR_LOG_BUTTON");
                click(window, "CANCEL_BUTTON");
            }
        }
        QVERIFY(!window->isVisible());
    });
    QCOMPARE(fixture.settingsStore.accesses(), QStringList({"save SETTINGS-Left", "save SETTINGS-Top"}));
    QCOMPARE(fixture.settingsStore.values().value(QStringLiteral("SETTINGS-Left")), QStringLiteral("3000"));
    QCOMPARE(fixture.settingsStore.values().value(QStringLiteral("SETTINGS-Top")), QStringLiteral("1500"));

    withSettingsWindow(fixture, [&](SettingsWindow* window) { QCOMPARE(window->pos(), QPoint(200, 100)); });
}

void SettingsWindowTest::keyboard()
{
    MainWindowFixture fixture;
    fixture.storeShare();
    writeConfig(fixture.share().toUtf8());
    fixture.open();
    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        QCOMPARE(window->focusWidget(), control(window, "CANCEL_BUTTON"));
        QStringList order;
        QWidget* visited = control(window, "CANCEL_BUTTON");
        for (int step = 0; step < 7; visited = visited->nextInFocusChain()) {
            if (visited->focusPolicy() & Qt::TabFocus) {
                order << visited->objectName();
                ++step;
            }
        }
        QCOMPARE(order, QStringList({"CANCEL_BUTTON", "SAVE_CFG_BUTTON", "CLEAR_LOG_BUTTON",
                                     "BD_CHATSLATE_SHARE_TEXTBOX", "UNLOCK_TICKBOX", "LOAD_CFG_BUTTON",
                                     "SAVE_REGISTRY_BUTTON"}));

        // Enter presses no button, above all not "Clear Live Log".
        click(window, "UNLOCK_TICKBOX");
        click(window, "LOAD_CFG_BUTTON");
        for (const char* name : {"BD_CHATSLATE_SHARE_TEXTBOX", "CLEAR_LOG_BUTTON", "SAVE_REGISTRY_BUTTON"}) {
            QWidget* focused = control(window, name);
            focused->setFocus();
            QTest::keyClick(focused, Qt::Key_Return);
            QTest::keyClick(focused, Qt::Key_Enter);
        }
        for (auto* button : window->findChildren<QPushButton*>())
            QVERIFY2(!button->isDefault(), qPrintable(button->objectName()));
        QCOMPARE(arrangement(window), loaded);
    });
    QCOMPARE(fixture.files.writes(), 0);
    QVERIFY(!fixture.settingsStore.accesses().contains(QStringLiteral("save BD_CHATSLATE_SHARE")));
}

void SettingsWindowTest::lookAndFreshOpening()
{
    MainWindowFixture fixture;
    fixture.storeShare(QStringLiteral("\\\\OLD\\Share"));
    writeConfig("\\\\NEW\\Share");
    fixture.open();
    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        QCOMPARE(window->objectName(), QStringLiteral("BD_CHATSLATE_SETTINGS"));
        QCOMPARE(window->windowTitle(), QStringLiteral("BRAMBLEDYNE - BD-CHATSLATE"));
        QCOMPARE(window->parentWidget(), fixture.window());
        QVERIFY(!window->windowIcon().isNull());
        QCOMPARE(window->frameGeometry().size(), QSize(624, 204));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
        auto* title = control<QLabel>(window, "BD_QMX_TITLE_1");
        QCOMPARE(title->palette().color(QPalette::WindowText), QColor(0, 255, 0));
        QCOMPARE(title->palette().color(QPalette::Window), QColor(0, 0, 0));
        QVERIFY(shareField(window)->font().bold());
        QCOMPARE(control<QPushButton>(window, "SAVE_CFG_BUTTON")->text(),
                 QStringLiteral("Save CHATSLATE-SHARE.CFG"));
        QCOMPARE(shareField(window)->text(), QStringLiteral("\\\\OLD\\Share"));

        auto* creator = control<QLabel>(window, "BD_CHATSLATE_CREATOR");
        QTest::mouseClick(creator, Qt::LeftButton);
        QCOMPARE(creator->text(), QStringLiteral("orrivel9@brambledyne.example"));
        click(window, "UNLOCK_TICKBOX");
        click(window, "LOAD_CFG_BUTTON");
        click(window, "SAVE_REGISTRY_BUTTON");
    });
    // Nothing of the first opening survives but what it stored.
    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        QCOMPARE(arrangement(window), locked);
        QCOMPARE(shareField(window)->text(), QStringLiteral("\\\\NEW\\Share"));
        QCOMPARE(control<QLabel>(window, "BD_CHATSLATE_CREATOR")->text(),
                 QStringLiteral("Created By Orrivel9"));
    });
}

void SettingsWindowTest::clicksOnlyFromStartToPost()
{
    MainWindowFixture fixture;
    writeConfig(fixture.share().toUtf8() + "\r\n");
    fixture.open();
    QCOMPARE(fixture.liveText(), StatusText::configure);
    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        click(window, "UNLOCK_TICKBOX");
        click(window, "LOAD_CFG_BUTTON");
        click(window, "SAVE_REGISTRY_BUTTON");
        click(window, "CANCEL_BUTTON");
    });
    withSettingsWindow(fixture, [&](SettingsWindow* window) {
        click(window, "UNLOCK_TICKBOX");
        click(window, "CLEAR_LOG_BUTTON");
        click(window, "CANCEL_BUTTON");
    });
    QCOMPARE(fixture.readLog(), QByteArray("\r\n"));
    QTest::mouseClick(fixture.autoRefresh(), Qt::LeftButton);
    QTest::keyClicks(fixture.ownText(), QStringLiteral("hello"));
    fixture.clickPost();
    QCOMPARE(fixture.readLog(), QByteArray("hello \r\n \r\n\r\n\r\n"));
    QVERIFY(fixture.messages.errors().isEmpty());
}

QTEST_MAIN(SettingsWindowTest)
#include "tst_settings_window.moc"

#include "windows/main/main_window.h"

#include "livelog/live_log.h"
#include "livelog/live_log_format.h"
#include "platform/message_reporter.h"
#include "platform/window_order/window_order.h"
#include "text/code_page.h"
#include "text/message_text.h"
#include "windows/common/accessible_window.h"
#include "windows/common/background_job.h"
#include "windows/common/clickable_label.h"
#include "windows/common/controls.h"
#include "windows/common/frame_placement.h"
#include "windows/common/interval_timer.h"
#include "windows/common/login_dialog.h"
#include "windows/common/single_click_filter.h"
#include "windows/common/tick_box.h"
#include "windows/common/window_look.h"
#include "windows/compact/compact_window.h"
#include "windows/main/background_reader.h"
#include "windows/main/live_view.h"
#include "windows/main/status_texts.h"
#include "windows/settings/settings_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <utility>

namespace {

const QColor paleYellow{255, 255, 192};
const QColor paleGreen{192, 255, 192};
const QColor white{255, 255, 255};

} // namespace

MainWindow::MainWindow(ProgramServices services, std::chrono::milliseconds refreshInterval)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_services(services)
    , m_settings(services.settingsStore)
    , m_refreshInterval(refreshInterval)
{
    AccessibleWindow::install();
    setObjectName(QStringLiteral("BD_CHATSLATE_MAIN"));
    setWindowTitle(WindowLook::mainCaption);
    setWindowIcon(WindowLook::programIcon());
    setFont(WindowLook::dialogFont());
    m_placement = new FramePlacement(this);
    m_reader = new BackgroundReader(this);
    m_poster = new BackgroundJob(QStringLiteral("live log post"), this);
    createControls();
    setTabOrder();
    load();
    // The desktop session may end the program without closing the window first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &MainWindow::runCloseSequence);
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls()
{
    using Controls::Twips;
    Controls::titleLabel(this, QStringLiteral("BD_CHATSLATE_TITLE_1"), QStringLiteral("BRAMBLEDYNE"),
                         Twips{120, 120, 1935, 375}, 9.75);
    Controls::titleLabel(this, QStringLiteral("CHATSLATE"), QStringLiteral("BD-ChatSlate"),
                         Twips{2040, 120, 1815, 375}, 9.75);
    Controls::titleLabel(this, QStringLiteral("BD_CHATSLATE_VERSION"), WindowLook::versionCaption,
                         Twips{3840, 120, 1455, 375}, 9.75);
    m_creatorLabel = Controls::titleLabel(this, QStringLiteral("BD_CHATSLATE_CREATOR"),
                                          WindowLook::creatorCaption, Twips{5280, 120, 3255, 375}, 9);
    connect(m_creatorLabel, &ClickableLabel::clicked, this, &MainWindow::onCreatorClicked);

    m_liveView = new LiveView(this);
    Controls::setUpScrollArea(m_liveView, Twips{240, 600, 10335, 2295});
    m_liveView->setFont(WindowLook::arialBold(12));
    WindowLook::setColours(m_liveView, paleYellow, WindowLook::black);

    m_ownText = Controls::multiLine(this, QStringLiteral("BD_CHATSLATE_MY_TEXT_TEXTBOX"), QString(),
                                    Twips{240, 3120, 10335, 975});
    m_ownText->setReadOnly(true);
    m_ownText->setAccessibleName(QStringLiteral("Your text"));
    m_ownText->setAccessibleDescription(QStringLiteral("The post button puts it at the top of the live log"));
    m_ownText->setFont(WindowLook::arialBold(12));
    WindowLook::setColours(m_ownText, paleGreen, WindowLook::black);

    m_settingsButton = Controls::button(this, QStringLiteral("SETTINGS_BUTTON"), QStringLiteral("Settings"),
                                        Twips{360, 4320, 1215, 495});
    connect(m_settingsButton, &QPushButton::clicked, this, &MainWindow::onSettingsClicked);
    m_alwaysOnTop =
        Controls::tickBox(this, QStringLiteral("AlwaysOnTopTimer_TICKBOX"), QStringLiteral("Always On Top"),
                          Twips{1920, 4440, 1455, 255}, TickBox::ticked);
    connect(m_alwaysOnTop, &QCheckBox::stateChanged, this, &MainWindow::onAlwaysOnTopChanged);
    m_autoRefresh =
        Controls::tickBox(this, QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("Auto Refresh"),
                          Twips{3720, 4440, 1335, 255}, TickBox::unticked);
    m_autoRefresh->setToolTip(QStringLiteral("Auto Refresh Every 3 Seconds"));
    connect(m_autoRefresh, &QCheckBox::stateChanged, this, &MainWindow::onAutoRefreshChanged);
    m_refreshButton = Controls::button(this, QStringLiteral("REFRESH_BUTTON"), QStringLiteral("Refresh"),
                                       Twips{5280, 4320, 1215, 495});
    connect(m_refreshButton, &QPushButton::clicked, this, &MainWindow::onRefreshClicked);
    m_postButton = Controls::button(this, QStringLiteral("CHATSLATE_BUTTON"), QStringLiteral("CHATSLATE"),
                                    Twips{6720, 4320, 2055, 495});
    // Every click posts, an empty text too: the second click of a double click would post an empty entry
    // right after the text.
    new SingleClickFilter(m_postButton);
    m_postButton->setAccessibleDescription(QStringLiteral("Posts your text to the top of the live log"));
    connect(m_postButton, &QPushButton::clicked, this, &MainWindow::onPostClicked);
    m_exitButton = Controls::button(this, QStringLiteral("EXIT_BUTTON"), QStringLiteral("Exit"),
                                    Twips{9000, 4320, 1455, 495});
    connect(m_exitButton, &QPushButton::clicked, this, &QWidget::close);

    m_shareLocation = Controls::lineEdit(this, QStringLiteral("BD_CHATSLATE_SHARE_TEXTBOX"), QString(),
                                         Twips{120, 6840, 8775, 375});
    m_shareLocation->setFont(WindowLook::arialBold(9.75));
    // Its caption is hidden: the name stands in for it where a taller window uncovers the field.
    m_shareLocation->setAccessibleName(QStringLiteral("Shared folder location"));
    Controls::keepOutOfFocus(m_shareLocation);
    createDesignOnlyControls();

    m_refreshTimer = new IntervalTimer(QStringLiteral("MAIN_TEXT_REFRESH_TIMER"), this);
    connect(m_refreshTimer, &IntervalTimer::tick, this, &MainWindow::onRefreshTick);
    // Switched together with the refresh timer; it never gets an interval and so never fires.
    m_refreshMonitor = new IntervalTimer(QStringLiteral("REFRESH_TIMER_MONITOR"), this);
}

// The rest of the lower band, outside the visible client area at the default size: nothing reads or
// changes these, they are there so that every control of the design exists by its name and design text.
void MainWindow::createDesignOnlyControls()
{
    using Controls::Twips;
    // Posts always go to the top.
    QWidget* postToTop =
        Controls::tickBox(this, QStringLiteral("POST_TO_TOP_TICKBOX"), QStringLiteral("Post To Top"),
                          Twips{600, 5040, 1335, 255}, TickBox::ticked);
    QWidget* postToBottom =
        Controls::tickBox(this, QStringLiteral("POST_TO_BOTTOM_TICKBOX"), QStringLiteral("Post To Bottom"),
                          Twips{2040, 5040, 1575, 255}, TickBox::unticked);
    postToBottom->setEnabled(false);
    auto* refreshLight = new QLabel(this);
    refreshLight->setObjectName(QStringLiteral("REFRESH_LIGHT_LABEL"));
    WindowLook::place(refreshLight, 4080, 5040, 1335, 135);
    WindowLook::setColours(refreshLight, white, WindowLook::black);
    // The live log's constants, which the program takes from the live-log format.
    QPlainTextEdit* combinedText =
        Controls::multiLine(this, QStringLiteral("COMBINED_TEXT_TEXTBOX"),
                            QStringLiteral("COMBINED TEXT\r\n"), Twips{3240, 5400, 7335, 1095});
    combinedText->setReadOnly(true);
    combinedText->setAccessibleName(QStringLiteral("Combined text"));
    QWidget* emptyText =
        Controls::lineEdit(this, QStringLiteral("EMPTY_TEXTBOX"), QString(), Twips{240, 5640, 615, 375});
    QWidget* logFileName = Controls::lineEdit(this, QStringLiteral("SLASH_CHATSLATE_LIVE_LOG_FILENAME"),
                                              LiveLogFormat::fileName, Twips{120, 6240, 2055, 285});
    QPlainTextEdit* lineEnd =
        Controls::multiLine(this, QStringLiteral("LINE_END_TEXTBOX"),
                            CodePage::decode(LiveLogFormat::separator), Twips{9240, 6840, 735, 615});
    lineEnd->setReadOnly(true);
    lineEnd->setAccessibleName(QStringLiteral("Line end"));
    ClickableLabel* shareLabel =
        Controls::titleLabel(this, QStringLiteral("BD_CHATSLATE_SHARE_LABEL"), WindowLook::shareLabelCaption,
                             Twips{120, 6600, 7575, 255}, 9.75);
    shareLabel->setAutoFillBackground(false);
    shareLabel->setPalette(palette());

    for (QWidget* hidden : {postToTop, postToBottom, static_cast<QWidget*>(refreshLight), emptyText,
                            logFileName, static_cast<QWidget*>(shareLabel)})
        hidden->hide();
    for (QWidget* field : {postToTop, postToBottom, static_cast<QWidget*>(combinedText), emptyText,
                           logFileName, static_cast<QWidget*>(lineEnd)})
        Controls::keepOutOfFocus(field);
}

void MainWindow::setTabOrder()
{
    const QList<QWidget*> order{m_exitButton,    m_liveView,    m_ownText,     m_postButton,
                                m_refreshButton, m_autoRefresh, m_alwaysOnTop, m_settingsButton};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
    m_exitButton->setFocus();
}

void MainWindow::load()
{
    m_placement->apply(m_settings.readPlacement(SettingsKeys::mainWindow));
    m_alwaysOnTop->setValue(m_settings.readTick(SettingsKeys::alwaysOnTop, SettingsKeys::alwaysOnTopDefault));
    m_shareLocation->setText(m_settings.readShareLocation());
    // A stored tick runs the switch now, before the refresh timer has an interval.
    m_autoRefresh->setValue(m_settings.readTick(SettingsKeys::autoRefresh, SettingsKeys::autoRefreshDefault));
    m_refreshTimer->setInterval(static_cast<int>(m_refreshInterval.count()));
    m_liveView->showStatus(StatusText::loading);

    if (!hasShareLocation()) {
        enter(State::noShare);
        m_liveView->showStatus(StatusText::configure);
    } else if (m_autoRefresh->value() == TickBox::ticked) {
        enter(State::autoRefreshOn);
    } else {
        enter(State::autoRefreshOff);
        m_liveView->showStatus(StatusText::autoRefreshDisabled);
    }
}

void MainWindow::enter(State state)
{
    m_state = state;
    const bool autoRefreshing = state == State::autoRefreshOn || state == State::posting;
    setRefreshTimerEnabled(state == State::autoRefreshOn);
    m_refreshMonitor->setEnabled(autoRefreshing);
    // The window answers during a post, but what is posted is the text at the click: typing on, or a
    // switch of auto refresh that would let the user type and post again, would be lost when the post
    // empties the field.
    m_autoRefresh->setEnabled(state != State::noShare && state != State::posting);
    m_postButton->setEnabled(state == State::autoRefreshOn);
    m_refreshButton->setEnabled(state == State::autoRefreshOn || state == State::autoRefreshUnticked);
    m_settingsButton->setEnabled(!autoRefreshing);
    m_ownText->setReadOnly(state != State::autoRefreshOn);
}

void MainWindow::runCloseSequence()
{
    if (m_closeSequenceDone)
        return;
    m_closeSequenceDone = true;
    // First, so that the main window's own value of the shared tick key is the one that stays.
    if (m_compactWindow) {
        m_compactWindow->runUnloadSequence();
        m_compactWindow.reset();
    }
    const QPointF position = m_placement->positionTwips();
    m_settings.savePosition(SettingsKeys::mainWindow, static_cast<float>(position.x()),
                            static_cast<float>(position.y()));
    m_settings.saveTick(SettingsKeys::alwaysOnTop, m_alwaysOnTop->value());
    m_settings.saveTick(SettingsKeys::autoRefresh, m_autoRefresh->value());
    m_settings.saveShareLocation(m_shareLocation->text());
    setRefreshTimerEnabled(false);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Should the post fail, its message and the text still in its field need the window.
    if (m_state == State::posting) {
        m_closeAfterPost = true;
        event->ignore();
        return;
    }
    runCloseSequence();
    event->accept();
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMinimized())
        showCompactWindowWhileMinimised();
    else if (m_compactWindow)
        m_compactWindow->hide();
}

CompactWindow& MainWindow::compactWindow()
{
    if (!m_compactWindow) {
        m_compactWindow =
            std::make_unique<CompactWindow>(m_services.settingsStore, m_services.windowOrder, this);
        connect(m_compactWindow.get(), &CompactWindow::mainWindowWanted, this,
                &MainWindow::bringBackFromCompactWindow);
        CompactWindow* created = m_compactWindow.get();
        connect(created, &CompactWindow::closed, this, [this, created] { onCompactWindowClosed(created); });
    }
    return *m_compactWindow;
}

void MainWindow::onAlwaysOnTopChanged()
{
    const short value = m_alwaysOnTop->value();
    CompactWindow& compact = compactWindow();
    if (value == TickBox::ticked) {
        compact.setTimerEnabled(true);
        compact.setTick(TickBox::ticked);
        return;
    }
    compact.setTimerEnabled(false);
    compact.setTick(TickBox::unticked);
    // The compact window's ticks lifted this window too. Before it is first shown it has no native
    // window, and nothing lifted it.
    if (const WId window = internalWinId())
        m_services.windowOrder.dropTopmost(window);
}

void MainWindow::showCompactWindowWhileMinimised()
{
    if (m_closeSequenceDone || m_alwaysOnTop->value() != TickBox::ticked)
        return;
    // A dialog of the program blocks every other window, so the badge could not answer a double-click;
    // the window list brings the main window back with its dialog instead.
    if (QApplication::activeModalWidget())
        return;
    // With the stored tick unchanged at load nothing has created the window yet; the mirroring does,
    // through the same access, and sets its timer and tick to match.
    if (!m_compactWindow)
        onAlwaysOnTopChanged();
    m_compactWindow->show();
}

// Restored rather than shown modally over itself: this window is already on screen, only minimised.
void MainWindow::bringBackFromCompactWindow()
{
    if (m_compactWindow)
        m_compactWindow->hide();
    showNormal();
    raise();
    activateWindow();
}

// The user closed the compact window itself: its unload steps have run, and a later access makes a
// new one. Deleted later, as its close is still under way.
void MainWindow::onCompactWindowClosed(CompactWindow* window)
{
    if (m_compactWindow.get() == window)
        m_compactWindow.release()->deleteLater();
}

void MainWindow::takeSavedShareLocation(const QString& shareLocation)
{
    m_shareLocation->setText(shareLocation);
    m_loginDeclined = false;
    // Should this change the tick, the switch runs now, and what follows overrides what it set.
    m_autoRefresh->setValue(TickBox::unticked);
    if (!hasShareLocation()) {
        enter(State::noShare);
        return;
    }
    enter(State::autoRefreshOff);
    m_liveView->showStatus(StatusText::autoRefreshDisabled);
}

// A location of blanks counts as one.
bool MainWindow::hasShareLocation() const
{
    return !shareLocation().isEmpty();
}

QString MainWindow::shareLocation() const
{
    return m_shareLocation->text();
}

// The own text exactly as typed: line breaks as CR LF, non-breaking spaces kept (toPlainText() would
// turn those into plain spaces).
QString MainWindow::ownTextAsTyped() const
{
    QString text = m_ownText->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    text.replace(QChar::LineSeparator, QLatin1String("\r\n"));
    return text;
}

void MainWindow::onAutoRefreshChanged()
{
    if (!hasShareLocation()) {
        m_autoRefresh->setValue(TickBox::unticked);
        enter(State::noShare);
    } else if (m_autoRefresh->value() == TickBox::ticked) {
        enter(State::autoRefreshOn);
        m_liveView->showStatus(StatusText::autoRefreshEnabled);
    } else {
        enter(State::autoRefreshUnticked);
    }
}

void MainWindow::setRefreshTimerEnabled(bool enabled)
{
    ++m_readTicket;
    m_refreshPausedForRead = false;
    m_refreshTimer->setEnabled(enabled);
}

void MainWindow::readInBackground(std::function<void(const FileReadResult&)> apply)
{
    if (m_refreshTimer->isEnabled()) {
        m_refreshTimer->setEnabled(false);
        m_refreshPausedForRead = true;
    }
    const quint64 ticket = ++m_readTicket;
    const auto read = [&files = m_services.files, share = shareLocation()] {
        return LiveLog::read(files, share);
    };
    const QString logPath = m_services.files.messagePath(LiveLogFormat::liveLogPath(shareLocation()));
    m_reader->run(logPath, read, [this, ticket, apply](const FileReadResult& result) {
        if (ticket != m_readTicket)
            return;
        if (m_refreshPausedForRead) {
            m_refreshPausedForRead = false;
            m_refreshTimer->setEnabled(true);
        }
        apply(result);
    });
}

void MainWindow::onRefreshTick()
{
    readInBackground([this](const FileReadResult& result) {
        showTickResult(result);
        askedForLogin(result.error, [this] { onRefreshTick(); });
    });
}

void MainWindow::showTickResult(const FileReadResult& result)
{
    if (result.error.failed())
        m_liveView->showStatus(StatusText::readFailed(result.error));
    else
        m_liveView->showLog(result.bytes);
}

void MainWindow::onRefreshClicked()
{
    m_loginDeclined = false;
    m_liveView->showStatus(StatusText::refreshing);
    readInBackground([this](const FileReadResult& result) {
        m_refreshClickTicket = 0;
        showTickResult(result);
        // A declined login needs no message on top: the user has just read why, and the status line
        // still says it.
        if (askedForLogin(result.error, [this] { onRefreshClicked(); }))
            return;
        if (result.error.failed())
            reportWithRefreshPaused(LiveLog::describe(result.error));
    });
    m_refreshClickTicket = m_readTicket;
}

void MainWindow::onPostClicked()
{
    enter(State::posting);
    m_focusWhilePosting = focusWidget();
    post();
}

void MainWindow::post()
{
    const CodePage::Encoded ownText = CodePage::encode(ownTextAsTyped());
    if (!ownText.unencodable.isEmpty() &&
        !m_services.messages.askToProceed(
            this, QStringLiteral("The live log cannot hold these characters of your text: %1\n\n"
                                 "Post the text with each of them replaced by \"?\"? Choose No to go back "
                                 "and change the text.")
                      .arg(MessageText::firstFew(ownText.unencodable)))) {
        endPosting();
        return;
    }

    m_loginDeclined = false;
    const QString share = shareLocation();
    // The lock and a slow share are waited for off this thread, so the window keeps answering.
    const auto postOnShare = [&files = m_services.files, share, bytes = ownText.bytes] {
        return LiveLog::post(files, share, bytes);
    };
    LoginDialog::retryWithLogin(*m_poster, this, m_services.logins, share, postOnShare,
                                [this](const LiveLog::PostResult& result) { showPostResult(result); });
}

void MainWindow::showPostResult(const LiveLog::PostResult& result)
{
    if (result.logRead())
        m_liveView->showLog(result.read.bytes);
    if (result.failed()) {
        // The user reads why first, and decides again with the text still there.
        m_closeAfterPost = false;
        m_services.messages.showError(
            this, QStringLiteral("Your text was not posted; it is still in its field.\n\n") +
                      LiveLog::describe(result));
    } else {
        m_ownText->clear();
    }
    endPosting();
}

void MainWindow::endPosting()
{
    enter(State::autoRefreshOn);
    // The focus moved on to a control the user never chose ("Always On Top", which the next Space would
    // untick): it goes back to where the next text is typed, unless the user has moved it since.
    if (focusWidget() == m_focusWhilePosting)
        m_ownText->setFocus();
    if (std::exchange(m_closeAfterPost, false))
        close();
}

// Built afresh at every opening, so nothing of an earlier opening survives but what it stored.
void MainWindow::onSettingsClicked()
{
    // Auto refresh is off here. A Refresh read still under way would show the log as it was before a
    // clear in the settings window: it is dropped, and read again once the window has closed, unless a
    // location saved there has switched refreshing off.
    const bool refreshUnderWay = m_refreshClickTicket != 0 && m_refreshClickTicket == m_readTicket;
    setRefreshTimerEnabled(false);
    SettingsWindow settingsWindow(m_services, this);
    connect(&settingsWindow, &SettingsWindow::shareLocationSaved, this, &MainWindow::takeSavedShareLocation);
    settingsWindow.exec();
    if (refreshUnderWay && m_state == State::autoRefreshUnticked)
        onRefreshClicked();
}

void MainWindow::onCreatorClicked()
{
    m_creatorLabel->setText(WindowLook::creatorAddress);
}

// The timer stays off while a dialog is open: no tick reaches the share meanwhile, and none queues up.
void MainWindow::withRefreshPaused(const std::function<void()>& dialog)
{
    setRefreshTimerEnabled(false);
    dialog();
    setRefreshTimerEnabled(m_state == State::autoRefreshOn);
}

// A read the share refused for want of a login asks for one, unless the user declined since the last
// Refresh, post or saved location; with a login the read runs again.
bool MainWindow::askedForLogin(const FileError& error, const std::function<void()>& readAgain)
{
    if (!error.is(FileError::Kind::loginNeeded) || m_loginDeclined)
        return false;
    bool given = false;
    withRefreshPaused(
        [&] { given = LoginDialog::askAndRemember(this, m_services.logins, shareLocation(), error); });
    m_loginDeclined = !given;
    if (given)
        readAgain();
    return true;
}

void MainWindow::reportWithRefreshPaused(const QString& message)
{
    withRefreshPaused([&] { m_services.messages.showError(this, message); });
}

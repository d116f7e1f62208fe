#include "windows/main/main_window.h"

#include "livelog/live_log_format.h"
#include "platform/message_reporter.h"
#include "platform/window_order/window_order.h"
#include "text/code_page.h"
#include "windows/common/accessible_window.h"
#include "windows/common/clickable_label.h"
#include "windows/common/controls.h"
#include "windows/common/frame_placement.h"
#include "windows/common/login_dialog.h"
#include "windows/common/single_click_filter.h"
#include "windows/common/tick_box.h"
#include "windows/common/window_look.h"
#include "windows/compact/compact_window.h"
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

QString statusText(ChatSession::Status status)
{
    switch (status) {
    case ChatSession::Status::loading:
        return StatusText::loading;
    case ChatSession::Status::configure:
        return StatusText::configure;
    case ChatSession::Status::autoRefreshDisabled:
        return StatusText::autoRefreshDisabled;
    case ChatSession::Status::autoRefreshEnabled:
        return StatusText::autoRefreshEnabled;
    case ChatSession::Status::refreshing:
        return StatusText::refreshing;
    }
    return {};
}

} // namespace

MainWindow::MainWindow(ProgramServices services, std::chrono::milliseconds refreshInterval)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_services(services)
    , m_settings(services.settingsStore)
{
    AccessibleWindow::install();
    setObjectName(QStringLiteral("BD_CHATSLATE_MAIN"));
    setWindowTitle(WindowLook::mainCaption);
    setWindowIcon(WindowLook::programIcon());
    setFont(WindowLook::dialogFont());
    m_placement = new FramePlacement(this);
    m_session = new ChatSession(m_services.files, m_services.workstation, *this, refreshInterval, this);
    createControls();
    connect(m_session, &ChatSession::stateChanged, this, &MainWindow::render);
    connect(m_session, &ChatSession::statusShown, this,
            [this](ChatSession::Status status) { m_liveView->showStatus(statusText(status)); });
    connect(m_session, &ChatSession::logRead, m_liveView, &LiveView::showIndexed);
    connect(m_session, &ChatSession::readFailed, this,
            [this](const FileError& error) { m_liveView->showStatus(StatusText::readFailed(error)); });
    connect(m_session, &ChatSession::posted, m_ownText, &QPlainTextEdit::clear);
    connect(m_session, &ChatSession::postEnded, this, &MainWindow::onPostEnded);
    connect(m_session, &ChatSession::closeWanted, this, &QWidget::close);
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
    connect(m_refreshButton, &QPushButton::clicked, m_session, &ChatSession::refresh);
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
    m_session->setShareLocation(m_shareLocation->text());
    // A stored tick runs the switch now, before the refresh timer has an interval.
    m_autoRefresh->setValue(m_settings.readTick(SettingsKeys::autoRefresh, SettingsKeys::autoRefreshDefault));
    m_session->finishLoad(m_autoRefresh->value() == TickBox::ticked);
}

void MainWindow::render(ChatSession::State state)
{
    const ChatSession::Usable usable = ChatSession::usableIn(state);
    m_autoRefresh->setEnabled(usable.autoRefreshSwitch);
    m_postButton->setEnabled(usable.post);
    m_refreshButton->setEnabled(usable.refresh);
    m_settingsButton->setEnabled(usable.settings);
    m_ownText->setReadOnly(!usable.ownTextEditable);
    // The post button, disabled, has let go of the focus by now.
    if (state == ChatSession::State::posting)
        m_focusWhilePosting = focusWidget();
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
    m_session->stop();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Should the post fail, its message and the text still in its field need the window.
    if (m_session->state() == ChatSession::State::posting) {
        m_session->closeAfterPost();
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
    m_session->setShareLocation(shareLocation);
    // Should this change the tick, the switch runs now, and what the session takes the location for
    // overrides what it set.
    m_autoRefresh->setValue(TickBox::unticked);
    m_session->takeSavedShareLocation(shareLocation);
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
    // Without a location the tick does not hold; unticking runs this again first.
    if (!m_session->hasShareLocation())
        m_autoRefresh->setValue(TickBox::unticked);
    m_session->switchAutoRefresh(m_autoRefresh->value() == TickBox::ticked);
}

void MainWindow::onPostClicked()
{
    m_session->post(ownTextAsTyped());
}

void MainWindow::onPostEnded()
{
    // The focus moved on to a control the user never chose ("Always On Top", which the next Space would
    // untick): it goes back to where the next text is typed, unless the user has moved it since.
    if (focusWidget() == m_focusWhilePosting)
        m_ownText->setFocus();
}

// Built afresh at every opening, so nothing of an earlier opening survives but what it stored.
void MainWindow::onSettingsClicked()
{
    m_session->settingsOpening();
    SettingsWindow settingsWindow(m_services, *m_session, this);
    connect(&settingsWindow, &SettingsWindow::shareLocationSaved, this, &MainWindow::takeSavedShareLocation);
    settingsWindow.exec();
    m_session->settingsClosed();
}

void MainWindow::onCreatorClicked()
{
    m_creatorLabel->setText(WindowLook::creatorAddress);
}

void MainWindow::showError(const QString& message)
{
    m_services.messages.showError(this, message);
}

bool MainWindow::askToProceed(const QString& question)
{
    return m_services.messages.askToProceed(this, question);
}

bool MainWindow::askForLogin(const QString& shareLocation, const FileError& error)
{
    return LoginDialog::askAndRemember(this, m_services.logins, shareLocation, error);
}

#pragma once

#include "platform/files/file_access.h"
#include "session/chat_session.h"
#include "session/session_prompts.h"
#include "settings/settings.h"
#include "windows/common/program_services.h"

#include <QPointer>
#include <QWidget>
#include <chrono>
#include <memory>

class ClickableLabel;
class CompactWindow;
class FramePlacement;
class LiveView;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TickBox;

// BD_CHATSLATE_MAIN: the live log view, the own text and its post button, and the refresh cycle's
// controls: a view of the chat session, whose state makes them usable or not.
class MainWindow final : public QWidget, private SessionPrompts
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultRefreshInterval = ChatSession::defaultRefreshInterval;

    // Builds the window in its design state and runs its load sequence; it is not shown yet. Tests may
    // refresh more often than the program does.
    explicit MainWindow(ProgramServices services,
                        std::chrono::milliseconds refreshInterval = defaultRefreshInterval);
    ~MainWindow() override;

    // Runs the close sequence unless it has run already; every way the program ends passes here.
    // The compact window, when there is one, unloads first.
    void runCloseSequence();

    // The program's one compact window, created hidden with its load steps run on first access.
    CompactWindow& compactWindow();
    bool hasCompactWindow() const { return m_compactWindow != nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Sets every control the session's state decides.
    void render(ChatSession::State state);

    void createControls();
    void createDesignOnlyControls();
    void setTabOrder();
    void load();

    QString ownTextAsTyped() const;

    void onAutoRefreshChanged();
    void onPostClicked();
    void onPostEnded();
    void onCreatorClicked();
    void onSettingsClicked();
    // What the settings window's "Save To Registry" does to this window: the saved location takes
    // effect at once and auto refresh is left off.
    void takeSavedShareLocation(const QString& shareLocation);
    void onAlwaysOnTopChanged();
    // The compact window is the badge of a minimised main window with "Always On Top" ticked.
    void showCompactWindowWhileMinimised();
    void bringBackFromCompactWindow();
    void onCompactWindowClosed(CompactWindow* window);

    void showError(const QString& message) override;
    bool askToProceed(const QString& question) override;
    bool askForLogin(const QString& shareLocation, const FileError& error) override;

    ProgramServices m_services;
    Settings m_settings;
    FramePlacement* m_placement = nullptr;
    ChatSession* m_session = nullptr;
    bool m_closeSequenceDone = false;
    // Where the focus went when the post began and its button, disabled, let go of it.
    QPointer<QWidget> m_focusWhilePosting;

    ClickableLabel* m_creatorLabel = nullptr;
    LiveView* m_liveView = nullptr;
    QPlainTextEdit* m_ownText = nullptr;
    QPushButton* m_settingsButton = nullptr;
    TickBox* m_alwaysOnTop = nullptr;
    TickBox* m_autoRefresh = nullptr;
    QPushButton* m_refreshButton = nullptr;
    QPushButton* m_postButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QLineEdit* m_shareLocation = nullptr;

    // Not a child: a child tool window would be minimised and hidden along with this window.
    std::unique_ptr<CompactWindow> m_compactWindow;
};

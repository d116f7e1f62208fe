#pragma once

#include "platform/files/file_access.h"
#include "settings/settings.h"
#include "windows/common/program_services.h"

#include <QDialog>
#include <optional>

class ChatSession;
class ClickableLabel;
class FramePlacement;
class QLineEdit;
class QPushButton;
class TickBox;

// BD_CHATSLATE_SETTINGS: the share location behind "Unlock", its loading from the share configuration
// file and its saving, and the clear of the live log. Built afresh for every opening and shown modally
// over its owner, which a save hands the location to at once. The clear runs through the owner's chat
// session.
class SettingsWindow final : public QDialog
{
    Q_OBJECT

public:
    SettingsWindow(ProgramServices services, ChatSession& session, QWidget* owner);
    ~SettingsWindow() override;

    // Every way of closing passes here (the close box, Esc, "Cancel"/"Close"): the position is saved.
    void done(int result) override;

signals:
    // "Save To Registry" has stored the location; the window is still open.
    void shareLocationSaved(const QString& shareLocation);

private:
    // Which controls can be used.
    enum class State
    {
        locked,
        unlocked,
        // Unlocked, and the share configuration file loaded since: the location can be saved.
        loaded,
        // Saved or cleared: only Close is left for the rest of this opening.
        finished,
    };
    // Sets every control the state decides, together with whether a clear is under way and whether a
    // load has happened in this opening.
    void enter(State state);

    void createControls();
    void setTabOrder();
    void load();

    void savePosition();
    void finish();

    void onUnlockChanged();
    void onLoadClicked();
    void onSaveRegistryClicked();
    void onClearClicked();
    void showClearResult(const FileError& error);
    void onCreatorClicked();

    ProgramServices m_services;
    Settings m_settings;
    FramePlacement* m_placement = nullptr;
    ChatSession& m_session;
    State m_state = State::locked;
    // A clear under way when the window closes is waited for: it may hold the live log's lock.
    bool m_clearing = false;
    // From a load on, Cancel is captioned Close.
    bool m_closeCaption = false;
    // How the user asked to close the window while a clear was under way.
    std::optional<int> m_doneAfterClear;

    ClickableLabel* m_creatorLabel = nullptr;
    QLineEdit* m_shareLocation = nullptr;
    QPushButton* m_loadButton = nullptr;
    QPushButton* m_clearButton = nullptr;
    TickBox* m_unlock = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_saveCfgButton = nullptr;
    QPushButton* m_saveRegistryButton = nullptr;
};

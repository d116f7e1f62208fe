#pragma once

#include "platform/file_access.h"
#include "settings/settings.h"
#include "windows/common/program_services.h"

#include <QDialog>

class BackgroundJob;
class ClickableLabel;
class FramePlacement;
class MainWindow;
class QLineEdit;
class QPushButton;
class TickBox;

// BD_CHATSLATE_SETTINGS: the share location behind "Unlock", its loading from the share configuration
// file and its saving, and the clear of the live log. Built afresh for every opening and shown modally
// over the main window, whose share location a save changes at once.
class SettingsWindow final : public QDialog
{
    Q_OBJECT

public:
    SettingsWindow(ProgramServices services, MainWindow& mainWindow);
    ~SettingsWindow() override;

    // Every way of closing passes here (the close box, Esc, "Cancel"/"Close"): the position is saved.
    void done(int result) override;

private:
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
    MainWindow& m_mainWindow;
    Settings m_settings;
    FramePlacement* m_placement = nullptr;
    // A clear under way when the window closes is waited for: it may hold the live log's lock.
    BackgroundJob* m_clearer = nullptr;

    ClickableLabel* m_creatorLabel = nullptr;
    QLineEdit* m_shareLocation = nullptr;
    QPushButton* m_loadButton = nullptr;
    QPushButton* m_clearButton = nullptr;
    TickBox* m_unlock = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_saveCfgButton = nullptr;
    QPushButton* m_saveRegistryButton = nullptr;
};

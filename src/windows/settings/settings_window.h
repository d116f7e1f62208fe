#pragma once

#include "platform/files/file_access.h"
#include "settings/settings.h"
#include "windows/common/program_services.h"

#include <QDialog>
#include <optional>

class BackgroundJob;
class ClickableLabel;
class FramePlacement;
class QLineEdit;
class QPushButton;
class TickBox;

// BD_CHATSLATE_SETTINGS: the share location behind "Unlock", its loading from the share configuration
// file and its saving, and the clear of the live log. Built afresh for every opening and shown modally
// over its owner, which a save hands the location to at once.
class SettingsWindow final : public QDialog
{
    Q_OBJECT

public:
    SettingsWindow(ProgramServices services, QWidget* owner);
    ~SettingsWindow() override;

    // Every way of closing passes here (the close box, Esc, "Cancel"/"Close"): the position is saved.
    void done(int result) override;

signals:
    // "Save To Registry" has stored the location; the window is still open.
    void shareLocationSaved(const QString& shareLocation);

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
    Settings m_settings;
    FramePlacement* m_placement = nullptr;
    // A clear under way when the window closes is waited for: it may hold the live log's lock.
    BackgroundJob* m_clearer = nullptr;
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

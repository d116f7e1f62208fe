#include "windows/settings/settings_window.h"

#include "platform/message_reporter.h"
#include "session/chat_session.h"
#include "settings/share_config.h"
#include "text/message_text.h"
#include "windows/common/accessible_window.h"
#include "windows/common/clickable_label.h"
#include "windows/common/controls.h"
#include "windows/common/frame_placement.h"
#include "windows/common/login_dialog.h"
#include "windows/common/modal_frame.h"
#include "windows/common/tick_box.h"
#include "windows/common/window_look.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <utility>

namespace {

const QString closeCaption = QStringLiteral("Close");

} // namespace

SettingsWindow::SettingsWindow(ProgramServices services, ChatSession& session, QWidget* owner)
    : QDialog(owner)
    , m_services(services)
    , m_settings(services.settingsStore)
    , m_session(session)
{
    AccessibleWindow::install();
    ModalFrame::closeButtonOnly(this);
    setObjectName(QStringLiteral("BD_CHATSLATE_SETTINGS"));
    setWindowTitle(WindowLook::mainCaption);
    setWindowIcon(WindowLook::programIcon());
    setFont(WindowLook::dialogFont());
    setModal(true);
    m_placement = new FramePlacement(this);
    createControls();
    setTabOrder();
    load();
    enter(State::locked);
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::createControls()
{
    using Controls::Twips;
    Controls::titleLabel(this, QStringLiteral("BD_QMX_TITLE_1"), QStringLiteral("BRAMBLEDYNE"),
                         Twips{120, 120, 4455, 375}, 9.75);
    Controls::titleLabel(this, QStringLiteral("Label1"), QStringLiteral("BD-ChatSlate"),
                         Twips{4680, 120, 4455, 375}, 9.75);
    m_creatorLabel = Controls::titleLabel(this, QStringLiteral("BD_CHATSLATE_CREATOR"),
                                          WindowLook::creatorCaption, Twips{2400, 600, 4455, 330}, 9.75);
    connect(m_creatorLabel, &ClickableLabel::clicked, this, &SettingsWindow::onCreatorClicked);
    Controls::titleLabel(this, QStringLiteral("BD_QMX_VERSION"), WindowLook::versionCaption,
                         Twips{6960, 600, 2175, 375}, 9.75);
    ClickableLabel* shareLabel =
        Controls::titleLabel(this, QStringLiteral("BD_CHATSLATE_SHARE_LABEL"), WindowLook::shareLabelCaption,
                             Twips{240, 1200, 7575, 255}, 9.75);
    shareLabel->setAutoFillBackground(false);
    shareLabel->setPalette(palette());

    m_shareLocation = Controls::lineEdit(this, QStringLiteral("BD_CHATSLATE_SHARE_TEXTBOX"), QString(),
                                         Twips{240, 1440, 8775, 360});
    m_shareLocation->setFont(WindowLook::arialBold(9.75));
    m_shareLocation->setAccessibleName(QStringLiteral("Shared folder location"));
    m_shareLocation->setAccessibleDescription(
        QStringLiteral("For example \\\\SERVER\\Share or \\\\IP\\Share; tick Unlock to change it"));

    m_loadButton = Controls::button(this, QStringLiteral("LOAD_CFG_BUTTON"),
                                    QStringLiteral("Load CHATSLATE-SHARE.CFG"), Twips{360, 1920, 2655, 255});
    connect(m_loadButton, &QPushButton::clicked, this, &SettingsWindow::onLoadClicked);
    m_clearButton = Controls::button(this, QStringLiteral("CLEAR_LOG_BUTTON"),
                                     QStringLiteral("Clear Live Log"), Twips{3240, 1920, 2415, 255});
    connect(m_clearButton, &QPushButton::clicked, this, &SettingsWindow::onClearClicked);
    m_unlock = Controls::tickBox(this, QStringLiteral("UNLOCK_TICKBOX"), QStringLiteral("Unlock"),
                                 Twips{6120, 2040, 855, 375}, TickBox::unticked);
    m_unlock->setAccessibleDescription(QStringLiteral("Lets the shared folder location be changed"));
    connect(m_unlock, &QCheckBox::stateChanged, this, &SettingsWindow::onUnlockChanged);
    m_cancelButton = Controls::button(this, QStringLiteral("CANCEL_BUTTON"), QStringLiteral("Cancel"),
                                      Twips{7200, 1920, 1695, 615});
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // Never enabled: the program does not write the share configuration file.
    m_saveCfgButton =
        Controls::button(this, QStringLiteral("SAVE_CFG_BUTTON"), QStringLiteral("Save CHATSLATE-SHARE.CFG"),
                         Twips{360, 2280, 2655, 255});
    m_saveCfgButton->setEnabled(false);
    m_saveRegistryButton = Controls::button(this, QStringLiteral("SAVE_REGISTRY_BUTTON"),
                                            QStringLiteral("Save To Registry"), Twips{3240, 2280, 2415, 255});
    m_saveRegistryButton->setAccessibleDescription(
        QStringLiteral("Keeps the shared folder location for the next start and uses it at once"));
    connect(m_saveRegistryButton, &QPushButton::clicked, this, &SettingsWindow::onSaveRegistryClicked);
}

void SettingsWindow::setTabOrder()
{
    const QList<QWidget*> order{m_cancelButton, m_saveCfgButton, m_clearButton,       m_shareLocation,
                                m_unlock,       m_loadButton,    m_saveRegistryButton};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
    m_cancelButton->setFocus();
}

void SettingsWindow::load()
{
    m_placement->apply(m_settings.readPlacement(SettingsKeys::settingsWindow));
    m_shareLocation->setText(m_settings.readShareLocation());
}

void SettingsWindow::done(int result)
{
    // A clear under way ends first: its outcome is told in this window.
    if (m_clearing) {
        m_doneAfterClear = result;
        return;
    }
    savePosition();
    QDialog::done(result);
}

void SettingsWindow::savePosition()
{
    const QPointF position = m_placement->positionTwips();
    m_settings.savePosition(SettingsKeys::settingsWindow, static_cast<float>(position.x()),
                            static_cast<float>(position.y()));
}

void SettingsWindow::enter(State state)
{
    m_state = state;
    const bool open = state == State::unlocked || state == State::loaded;
    m_unlock->setEnabled(state != State::finished);
    m_shareLocation->setEnabled(open);
    m_shareLocation->setReadOnly(!open);
    m_loadButton->setEnabled(open);
    // Clicks during a clear find the button disabled.
    m_clearButton->setEnabled(open && !m_clearing);
    m_saveRegistryButton->setEnabled(state == State::loaded);
    m_cancelButton->setEnabled(!open);
    m_cancelButton->setText(m_closeCaption ? closeCaption : QStringLiteral("Cancel"));
}

// A later unlocked period needs a load of its own before a save.
void SettingsWindow::onUnlockChanged()
{
    enter(m_unlock->value() == TickBox::ticked ? State::unlocked : State::locked);
}

void SettingsWindow::onLoadClicked()
{
    const ShareConfig::Location result = ShareConfig::read(*m_services.files);
    if (result.error.failed()) {
        m_services.messages.showError(this, QStringLiteral("The share location was not loaded.\n\n") +
                                                ShareConfig::describe(result.error));
        return;
    }
    m_shareLocation->setText(result.text);
    m_closeCaption = true;
    enter(State::loaded);
}

void SettingsWindow::onSaveRegistryClicked()
{
    savePosition();
    const QString shareLocation = m_shareLocation->text();
    m_settings.saveShareLocation(shareLocation);
    emit shareLocationSaved(shareLocation);
    finish();
}

void SettingsWindow::onClearClicked()
{
    const QString shareLocation = m_shareLocation->text();
    // An empty location would name a log at the root of the current drive, or elsewhere off Windows.
    if (shareLocation.isEmpty()) {
        m_services.messages.showError(this,
                                      QStringLiteral("The live log was not cleared: no share location is "
                                                     "set.\n\nEnter or load the share location first."));
        return;
    }
    // Off this thread, like a post: the window keeps answering while the share is slow.
    m_clearing = true;
    enter(m_state);
    // The session outlives this window, which closes only after the clear unless the program ends first.
    const QPointer<SettingsWindow> self(this);
    m_session.clear(
        shareLocation,
        [self, logins = &m_services.logins, shareLocation](const FileError& error) {
            return self && LoginDialog::askAndRemember(self, *logins, shareLocation, error);
        },
        [self](const FileError& error) {
            if (self)
                self->showClearResult(error);
        });
}

void SettingsWindow::showClearResult(const FileError& error)
{
    const std::optional<int> doneAfterClear = std::exchange(m_doneAfterClear, std::nullopt);
    m_clearing = false;
    if (error.failed()) {
        // Still unlocked, unless the user locked the window meanwhile.
        enter(m_state);
        m_services.messages.showError(this,
                                      QStringLiteral("The live log was not cleared; it is as it was.\n\n") +
                                          MessageText::sentence(error.message));
        return;
    }
    finish();
    if (doneAfterClear)
        done(*doneAfterClear);
}

void SettingsWindow::finish()
{
    // The tick box was ticked, so this runs its handler now and locks the window.
    m_unlock->setValue(TickBox::unticked);
    m_closeCaption = true;
    enter(State::finished);
}

void SettingsWindow::onCreatorClicked()
{
    m_creatorLabel->setText(WindowLook::creatorAddress);
}

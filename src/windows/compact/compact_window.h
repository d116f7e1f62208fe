#pragma once

#include "settings/settings.h"

#include <QWidget>

class FramePlacement;
class IntervalTimer;
class TickBox;
class WindowOrder;

// BD_CHATSLATE_MINI_MAIN: the small tool window whose timer keeps it, and the main window with it,
// above other windows. It is a badge for the main window: shown only while that one is minimised, and a
// double-click on it asks for the main window back.
class CompactWindow final : public QWidget
{
    Q_OBJECT

public:
    // Builds the window hidden and runs its load steps. mainWindow is raised with it at every tick while
    // the window's tick is set; it is not the parent, so the two windows minimise independently.
    CompactWindow(SettingsStore& settingsStore, WindowOrder& windowOrder, QWidget* mainWindow);
    ~CompactWindow() override;

    void setTimerEnabled(bool enabled);
    void setTick(short value);

    // The unload steps, at most once: position and tick to the store, the timer off.
    void runUnloadSequence();

signals:
    void mainWindowWanted();
    // After the unload steps of a close; the window is no longer of use.
    void closed();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void load();
    void onTimerTick();

    Settings m_settings;
    WindowOrder& m_windowOrder;
    QWidget* m_mainWindow;
    FramePlacement* m_placement = nullptr;
    IntervalTimer* m_timer = nullptr;
    TickBox* m_tick = nullptr;
    bool m_unloaded = false;
};

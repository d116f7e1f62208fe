#include "windows/compact/compact_window.h"

#include "session/interval_timer.h"
#include "windows/common/accessible_window.h"
#include "windows/common/clickable_label.h"
#include "windows/common/controls.h"
#include "windows/common/frame_placement.h"
#include "windows/common/tick_box.h"
#include "windows/common/window_look.h"
#include "windows/compact/always_on_top_tick.h"

#include <QCloseEvent>
#include <QMouseEvent>

namespace {

constexpr int tickInterval = 1000;
const QString caption = QStringLiteral("         BD-CHATSLATE");
const QColor lightGreen{128, 255, 128};
const QColor lightYellow{255, 255, 128};

} // namespace

CompactWindow::CompactWindow(SettingsStore& settingsStore, WindowOrder& windowOrder, QWidget* mainWindow)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_settings(settingsStore)
    , m_windowOrder(windowOrder)
    , m_mainWindow(mainWindow)
{
    AccessibleWindow::install();
    setObjectName(QStringLiteral("BD_CHATSLATE_MINI_MAIN"));
    setWindowTitle(caption);
    setWindowIcon(WindowLook::programIcon());
    setFont(WindowLook::dialogFont());
    WindowLook::setColours(this, lightGreen, WindowLook::black);
    // Shown as a badge while the main window is minimised: it must not take the focus from whatever
    // the user turned to.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Closing the badge alone never ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_placement = new FramePlacement(this);
    createControls();
    load();
}

CompactWindow::~CompactWindow() = default;

void CompactWindow::createControls()
{
    using Controls::Twips;
    WindowLook::place(this, 0, 0, 2190, 4695);

    m_timer = new IntervalTimer(QStringLiteral("AlwaysOnTopTimer"), this);
    // Enabled from the start, but without an interval it does not tick until the load gives it one.
    m_timer->setEnabled(true);
    connect(m_timer, &IntervalTimer::tick, this, &CompactWindow::onTimerTick);

    m_tick = Controls::tickBox(this, QStringLiteral("AlwaysOnTopTimer_TICKBOX"),
                               QStringLiteral("Always On Top"), Twips{600, 960, 1455, 255}, TickBox::ticked);
    m_tick->hide();

    ClickableLabel* title = Controls::titleLabel(
        this, QStringLiteral("BD_TITLE"), QStringLiteral("BRAMBLEDYNE"), Twips{120, 0, 1935, 255}, 8.25);
    ClickableLabel* name = Controls::titleLabel(
        this, QStringLiteral("CHATSLATE"), QStringLiteral("BD-ChatSlate"), Twips{120, 240, 1935, 375}, 12);
    WindowLook::setColours(name, lightYellow, WindowLook::black);
    for (ClickableLabel* label : {title, name})
        connect(label, &ClickableLabel::doubleClicked, this, &CompactWindow::mainWindowWanted);
}

void CompactWindow::load()
{
    m_placement->apply(m_settings.readPlacement(SettingsKeys::compactWindow));
    m_tick->setValue(m_settings.readTick(SettingsKeys::alwaysOnTop, SettingsKeys::alwaysOnTopDefault));
    m_timer->setInterval(tickInterval);
    m_timer->setEnabled(m_tick->value() == TickBox::ticked);
}

void CompactWindow::setTimerEnabled(bool enabled)
{
    m_timer->setEnabled(enabled);
}

void CompactWindow::setTick(short value)
{
    m_tick->setValue(value);
}

void CompactWindow::runUnloadSequence()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    const QPointF position = m_placement->positionTwips();
    m_settings.savePosition(SettingsKeys::compactWindow, static_cast<float>(position.x()),
                            static_cast<float>(position.y()));
    m_settings.saveTick(SettingsKeys::alwaysOnTop, m_tick->value());
    m_timer->setEnabled(false);
}

void CompactWindow::closeEvent(QCloseEvent* event)
{
    runUnloadSequence();
    event->accept();
    emit closed();
}

// Sent before the window is mapped, while the window manager still reads what it is asked for.
void CompactWindow::showEvent(QShowEvent* event)
{
    m_windowOrder.askForToolWindowFrame(winId());
    QWidget::showEvent(event);
}

void CompactWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit mainWindowWanted();
    QWidget::mouseDoubleClickEvent(event);
}

// winId() gives the hidden window a native window of its own, unmapped: its state is set all the same
// and holds when it is shown. A minimised main window is left alone, it has nothing to be above.
void CompactWindow::onTimerTick()
{
    NativeWindow mainWindow = 0;
    if (m_tick->value() == TickBox::ticked && m_mainWindow && !m_mainWindow->isMinimized())
        mainWindow = m_mainWindow->internalWinId();
    AlwaysOnTop::tick(m_windowOrder, winId(), mainWindow);
}

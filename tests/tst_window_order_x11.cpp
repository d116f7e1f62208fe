#include "fakes/memory_settings_store.h"
#include "fakes/recording_reporter.h"
#include "livelog/this_workstation.h"
#include "platform/files/local_file_access.h"
#include "platform/window_order/system_window_order.h"
#include "platform/window_order/x11_window_order.h"
#include "session/interval_timer.h"
#include "windows/common/login_dialog.h"
#include "windows/common/message_box_reporter.h"
#include "windows/common/tick_box.h"
#include "windows/compact/compact_window.h"
#include "windows/main/main_window.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace {

// Another program on the same display, with a connection of its own.
class ForeignClient
{
public:
    ForeignClient()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        m_state = atom("_NET_WM_STATE");
        m_above = atom("_NET_WM_STATE_ABOVE");
        m_active = atom("_NET_ACTIVE_WINDOW");
        m_wmState = atom("WM_STATE");
    }
    ~ForeignClient() { xcb_disconnect(m_connection); }

    xcb_window_t openWindow()
    {
        const xcb_window_t window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 500, 400, 300, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_map_window(m_connection, window);
        xcb_flush(m_connection);
        return window;
    }

    // As a pager would on the user's behalf.
    // What a manager's minimise button asks for, from outside the program.
    void iconify(xcb_window_t window)
    {
        sendToRoot(window, atom("WM_CHANGE_STATE"), {3, 0, 0, 0, 0});
        xcb_flush(m_connection);
    }
    void makeAboveAndActive(xcb_window_t window)
    {
        sendToRoot(window, m_state, {1, m_above, 0, 2, 0});
        sendToRoot(window, m_active, {2, XCB_CURRENT_TIME, 0, 0, 0});
        xcb_flush(m_connection);
    }

    bool isManaged(xcb_window_t window) { return !property(window, m_wmState, m_wmState).empty(); }
    bool isMapped(xcb_window_t window)
    {
        const auto cookie = xcb_get_window_attributes(m_connection, window);
        const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> reply(
            xcb_get_window_attributes_reply(m_connection, cookie, nullptr), &std::free);
        return reply && reply->map_state != XCB_MAP_STATE_UNMAPPED;
    }
    bool isAbove(xcb_window_t window)
    {
        for (const std::uint32_t state : property(window, m_state, XCB_ATOM_ATOM))
            if (state == m_above)
                return true;
        return false;
    }
    // Whether an atom list the program or the window manager set on the window names value.
    bool lists(xcb_window_t window, const char* name, const char* value)
    {
        const auto values = property(window, atom(name), XCB_ATOM_ATOM);
        return std::find(values.begin(), values.end(), atom(value)) != values.end();
    }
    std::vector<std::uint32_t> motifHints(xcb_window_t window)
    {
        return property(window, atom("_MOTIF_WM_HINTS"), atom("_MOTIF_WM_HINTS"));
    }
    xcb_window_t activeWindow()
    {
        const auto values = property(m_root, m_active, XCB_ATOM_WINDOW);
        return values.empty() ? xcb_window_t(XCB_WINDOW_NONE) : values.front();
    }

private:
    xcb_atom_t atom(const char* name)
    {
        const auto cookie =
            xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(m_connection, cookie, nullptr), &std::free);
        return reply ? reply->atom : 0;
    }
    std::vector<std::uint32_t> property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
    {
        const auto cookie = xcb_get_property(m_connection, 0, window, name, type, 0, 64);
        const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(m_connection, cookie, nullptr), &std::free);
        if (!reply || reply->format != 32)
            return {};
        const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
        return {values, values + xcb_get_property_value_length(reply.get()) / 4};
    }
    void sendToRoot(xcb_window_t window, xcb_atom_t type, std::array<std::uint32_t, 5> data)
    {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = type;
        std::copy(data.begin(), data.end(), message.data.data32);
        xcb_send_event(m_connection, 0, m_root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    xcb_atom_t m_state, m_above, m_active, m_wmState;
};

} // namespace

// The window order of this window system, under Xvfb with openbox, against the real windows.
class WindowOrderX11Test : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void ticksTakeAboveFromTheForegroundWindow();
    void badgeKeepsAboveWhenShownAndBringsMainBack();
    void framesOfferOnlyWhatEachWindowCanDo();
    void dialogsOfferOnlyClose_data();
    void dialogsOfferOnlyClose();

private:
    MemorySettingsStore m_store;
    std::shared_ptr<LocalFileAccess> m_files = std::make_shared<LocalFileAccess>();
    RecordingReporter m_messages;
    std::unique_ptr<WindowOrder> m_order;
    std::unique_ptr<MainWindow> m_window;
    ForeignClient m_foreign;
};

void WindowOrderX11Test::init()
{
    m_store.values().clear();
    m_order = makeSystemWindowOrder();
    QVERIFY(dynamic_cast<X11WindowOrder*>(m_order.get()));
}

void WindowOrderX11Test::cleanup()
{
    m_window.reset();
    m_order.reset();
}

void WindowOrderX11Test::ticksTakeAboveFromTheForegroundWindow()
{
    // Created unticked at load, then ticked by the user: the compact window is there, hidden.
    m_store.values().insert("AlwaysOnTopTimer_TICKBOX", "0");
    m_window = std::make_unique<MainWindow>(
        ProgramServices{m_store, m_files, LiveLog::thisWorkstation(), m_messages, *m_order});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    CompactWindow& compact = m_window->compactWindow();
    auto* timer = compact.findChild<IntervalTimer*>("AlwaysOnTopTimer");
    QVERIFY(!timer->isRunning());
    const xcb_window_t main = m_window->winId();
    const xcb_window_t own = compact.winId();
    QTRY_VERIFY(m_foreign.isManaged(main));
    const QRect mainFrame = m_window->frameGeometry();
    const QRect compactGeometry = compact.geometry();

    const xcb_window_t foreign = m_foreign.openWindow();
    QTRY_VERIFY(m_foreign.isManaged(foreign));
    m_foreign.makeAboveAndActive(foreign);
    QTRY_VERIFY(m_foreign.isAbove(foreign) && m_foreign.activeWindow() == foreign);
    QVERIFY(!m_foreign.isAbove(main));
    QVERIFY(!m_foreign.isAbove(own));

    int ticks = 0;
    connect(timer, &IntervalTimer::tick, this, [&] { ++ticks; });
    QTest::mouseClick(m_window->findChild<TickBox*>("AlwaysOnTopTimer_TICKBOX"), Qt::LeftButton);
    QVERIFY(timer->isRunning());
    const auto done = [&] {
        return !m_foreign.isAbove(foreign) && m_foreign.isAbove(own) && m_foreign.isAbove(main);
    };
    QTRY_VERIFY_WITH_TIMEOUT(done() || ticks > 2, 10000);
    QVERIFY2(done(), qPrintable(QStringLiteral("after %1 ticks").arg(ticks)));

    QCOMPARE(m_window->frameGeometry(), mainFrame);
    QCOMPARE(compact.geometry(), compactGeometry);
    QVERIFY(!compact.isVisible());
    QVERIFY(!m_foreign.isMapped(own));
    QCOMPARE(m_foreign.activeWindow(), foreign);

    // Unticking lets the main window go back among the others.
    QTest::mouseClick(m_window->findChild<TickBox*>("AlwaysOnTopTimer_TICKBOX"), Qt::LeftButton);
    QTRY_VERIFY(!m_foreign.isAbove(main));
}

void WindowOrderX11Test::badgeKeepsAboveWhenShownAndBringsMainBack()
{
    m_window = std::make_unique<MainWindow>(
        ProgramServices{m_store, m_files, LiveLog::thisWorkstation(), m_messages, *m_order});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(!m_window->hasCompactWindow());
    CompactWindow& compact = m_window->compactWindow();
    const xcb_window_t own = compact.winId();

    // Set on the hidden window, with no tick to set it again after the showing.
    compact.setTimerEnabled(false);
    m_order->makeTopmost(own);
    QTRY_VERIFY(m_foreign.isAbove(own));
    QVERIFY(!m_foreign.isMapped(own));

    m_window->showMinimized();
    QTRY_VERIFY(m_window->isMinimized());
    QVERIFY(compact.isVisible());
    QTRY_VERIFY(m_foreign.isManaged(own) && m_foreign.isMapped(own));
    QVERIFY(QTest::qWaitForWindowExposed(&compact));
    QVERIFY(m_foreign.isAbove(own));

    QTest::mouseDClick(compact.findChild<QLabel*>("CHATSLATE"), Qt::LeftButton);
    QTRY_VERIFY(!m_window->isMinimized());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QVERIFY(!compact.isVisible());
    QTRY_VERIFY(!m_foreign.isMapped(own));
}

void WindowOrderX11Test::framesOfferOnlyWhatEachWindowCanDo()
{
    m_window = std::make_unique<MainWindow>(
        ProgramServices{m_store, m_files, LiveLog::thisWorkstation(), m_messages, *m_order});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const xcb_window_t main = m_window->winId();
    QTRY_VERIFY(m_foreign.lists(main, "_NET_WM_ALLOWED_ACTIONS", "_NET_WM_ACTION_MINIMIZE"));
    for (const char* action :
         {"_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"})
        QVERIFY2(!m_foreign.lists(main, "_NET_WM_ALLOWED_ACTIONS", action), action);

    // The badge gets a tool window's frame with a close button only, and no task bar entry, at every
    // showing: the manager forgets a hidden window's states.
    const xcb_window_t badge = m_window->compactWindow().winId();
    for (int showing = 1; showing <= 2; ++showing) {
        m_window->showMinimized();
        // A loaded machine may keep the manager from answering for a while.
        QTRY_VERIFY_WITH_TIMEOUT(m_foreign.isManaged(badge) && m_foreign.isMapped(badge), 20000);
        QTRY_VERIFY(m_foreign.lists(badge, "_NET_WM_ALLOWED_ACTIONS", "_NET_WM_ACTION_CLOSE"));
        for (const char* action :
             {"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_RESIZE"})
            QVERIFY2(!m_foreign.lists(badge, "_NET_WM_ALLOWED_ACTIONS", action), action);
        // The manager sets the states after the allowed actions.
        QTRY_VERIFY2(m_foreign.lists(badge, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"),
                     qPrintable(QStringLiteral("showing %1").arg(showing)));
        m_window->showNormal();
        QTRY_VERIFY(!m_foreign.isMapped(badge));
        // The manager has let go of the hidden badge once it has dropped its states.
        QTRY_VERIFY(!m_foreign.lists(badge, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"));
    }
}

void WindowOrderX11Test::dialogsOfferOnlyClose_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<bool>("mainMinimised");
    QTest::newRow("settings window") << QStringLiteral("settings") << false;
    QTest::newRow("main window under the settings window") << QStringLiteral("settings") << true;
    QTest::newRow("message") << QStringLiteral("message") << false;
    QTest::newRow("question") << QStringLiteral("question") << false;
    QTest::newRow("login") << QStringLiteral("login") << false;
}

constexpr std::uint32_t motifMinimise = 1u << 3;
constexpr std::uint32_t motifMaximise = 1u << 4;
constexpr std::uint32_t motifMinimiseButton = 1u << 5;
constexpr std::uint32_t motifMaximiseButton = 1u << 6;

// Only a close button; minimising one would hide the main window with it and leave the program with no
// window on screen, so the manager's own minimise (openbox keeps it for every dialog) is undone.
void WindowOrderX11Test::dialogsOfferOnlyClose()
{
    QFETCH(QString, dialog);
    QFETCH(bool, mainMinimised);
    m_window = std::make_unique<MainWindow>(
        ProgramServices{m_store, m_files, LiveLog::thisWorkstation(), m_messages, *m_order});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QStringList offered;
    bool backOnScreen = false;
    const auto inspect = [&] {
        QWidget* shown = nullptr;
        QTRY_VERIFY((shown = QApplication::activeModalWidget()) && QTest::qWaitForWindowExposed(shown));
        const auto frame = static_cast<xcb_window_t>(shown->winId());
        QTRY_VERIFY(m_foreign.lists(frame, "_NET_WM_ALLOWED_ACTIONS", "_NET_WM_ACTION_CLOSE"));
        for (const char* action :
             {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"})
            if (m_foreign.lists(frame, "_NET_WM_ALLOWED_ACTIONS", action))
                offered.append(QLatin1String(action));
        // The toolkit's hints: close, move and resize only, and no minimise or maximise button.
        const std::vector<std::uint32_t> hints = m_foreign.motifHints(frame);
        QVERIFY(hints.size() >= 3);
        QCOMPARE(hints[1] & (motifMinimise | motifMaximise), 0u);
        QCOMPARE(hints[2] & (motifMinimiseButton | motifMaximiseButton), 0u);

        // As the manager's minimise, or the main window's, does it.
        bool minimised = false;
        connect(shown->windowHandle(), &QWindow::windowStateChanged, this,
                [&](Qt::WindowState state) { minimised = minimised || state == Qt::WindowMinimized; });
        m_foreign.iconify(mainMinimised ? static_cast<xcb_window_t>(m_window->winId()) : frame);
        QTRY_VERIFY(minimised);
        QTRY_VERIFY(m_foreign.isMapped(frame) && m_foreign.isMapped(m_window->winId()));
        backOnScreen = true;
    };
    // Closed whatever the outcome, or the dialog would wait for ever.
    QTimer::singleShot(0, this, [&] {
        inspect();
        if (QWidget* shown = QApplication::activeModalWidget())
            shown->close();
    });
    MessageBoxReporter reporter;
    if (dialog == QLatin1String("settings"))
        m_window->findChild<QPushButton*>("SETTINGS_BUTTON")->click();
    else if (dialog == QLatin1String("message"))
        reporter.showError(m_window.get(), "Cannot read /share/CHATSLATE-LIVE.LOG");
    else if (dialog == QLatin1String("question"))
        reporter.askToProceed(m_window.get(), "Post it?");
    else
        LoginDialog(QStringLiteral("\\\\SERVER\\Share"), QStringLiteral("Access denied"), m_window.get())
            .exec();
    QVERIFY2(offered.isEmpty(), qPrintable(offered.join(QLatin1Char(' '))));
    QVERIFY(backOnScreen);
}

QTEST_MAIN(WindowOrderX11Test)
#include "tst_window_order_x11.moc"

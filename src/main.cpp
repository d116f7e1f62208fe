#include "command_line.h"
#include "livelog/this_workstation.h"
#include "platform/files/system_file_access.h"
#include "platform/large_buffers.h"
#include "platform/qsettings_store.h"
#include "platform/window_order/system_window_order.h"
#include "windows/common/message_box_reporter.h"
#include "windows/main/main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    if (const std::optional<int> exitCode = CommandLine::handle(argc, argv))
        return *exitCode;
    LargeBuffers::returnToSystemWhenFreed();
    const QString section = QSettingsStore::sectionForProgram(argv[0]);
    QApplication application(argc, argv);
    application.setApplicationName(section);
    application.setApplicationVersion(QStringLiteral(CHATSLATE_VERSION));
    // Lets the desktop match the windows to the installed menu entry and its icon.
    application.setDesktopFileName(QStringLiteral("example.brambledyne.BDChatSlate"));

    QSettingsStore settingsStore(section);
    // Shared with the file work: a call still stuck on a share when the window goes keeps them alive.
    const auto system = std::make_shared<SystemFileAccess>();
    const std::shared_ptr<FileAccess> files(system, &system->files());
    MessageBoxReporter messages;
    const std::unique_ptr<WindowOrder> windowOrder = makeSystemWindowOrder();
    int exitCode = 0;
    {
        MainWindow window(
            {settingsStore, files, LiveLog::thisWorkstation(), messages, *windowOrder, system->logins()});
        window.show();
        exitCode = application.exec();
    }
    return exitCode;
}

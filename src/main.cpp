#include "command_line.h"
#include "platform/end_process_now.h"
#include "platform/files/system_file_access.h"
#include "platform/large_buffers.h"
#include "platform/qsettings_store.h"
#include "platform/window_order/system_window_order.h"
#include "windows/common/message_box_reporter.h"
#include "windows/main/background_reader.h"
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
    SystemFileAccess files;
    MessageBoxReporter messages;
    const std::unique_ptr<WindowOrder> windowOrder = makeSystemWindowOrder();
    int exitCode = 0;
    {
        MainWindow window({settingsStore, files.files(), messages, *windowOrder, files.logins()});
        window.show();
        exitCode = application.exec();
    }
    // A read stuck on a share that does not answer may still use the file access and its library: the
    // settings are saved, so the process ends here without tearing down what that read is using, and
    // the file server sees the connection close.
    if (BackgroundReader::anyReadLeftRunning() || files.callsLeftRunning())
        endProcessNow(exitCode);
    return exitCode;
}

#include "command_line.h"
#include "platform/message_box_reporter.h"
#include "platform/qsettings_store.h"
#include "platform/system_file_access.h"
#include "platform/system_window_order.h"
#include "windows/main/main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    if (const std::optional<int> exitCode = CommandLine::handle(argc, argv))
        return *exitCode;
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
    MainWindow window({settingsStore, files.files(), messages, *windowOrder, files.logins()});
    window.show();
    return application.exec();
}

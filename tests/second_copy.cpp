// A second copy of the program for tests: the real main window on the real settings store and files,
// refreshing every 50 ms, driven from its command line.
//   second_copy post TEXT      types TEXT into the own-text field and posts it, then closes
//   second_copy wait-for TEXT  lets auto refresh run until the live view shows TEXT (exit 0) or 10 s pass
//   second_copy close-at LEFT  moves the window to LEFT pixels, prints "ready", and closes once a line
//                              arrives on standard input, so that several copies close at one moment
#include "fakes/recording_reporter.h"
#include "livelog/this_workstation.h"
#include "platform/files/system_file_access.h"
#include "platform/qsettings_store.h"
#include "support/settings_folder.h"
#include "windows/main/live_view.h"
#include "windows/main/main_window.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 3)
        return 2;
    SettingsFolder::useInherited();
    QSettingsStore settingsStore(QStringLiteral("BD-CHATSLATE"));
    const auto system = std::make_shared<SystemFileAccess>();
    RecordingReporter messages;
    MainWindow window({settingsStore, std::shared_ptr<FileAccess>(system, &system->files()),
                       LiveLog::thisWorkstation(), messages, NullWindowOrder::shared(), system->logins()},
                      std::chrono::milliseconds(50));
    window.show();
    const QString command = arguments.at(1);
    const QString text = arguments.at(2);

    if (command == QLatin1String("post")) {
        auto* ownText = window.findChild<QPlainTextEdit*>(QStringLiteral("BD_CHATSLATE_MY_TEXT_TEXTBOX"));
        auto* postButton = window.findChild<QPushButton*>(QStringLiteral("CHATSLATE_BUTTON"));
        if (ownText->isReadOnly() || !postButton->isEnabled())
            return 3;
        ownText->setPlainText(text);
        postButton->click();
        // The post runs in the background; the button comes back when it has ended.
        while (!postButton->isEnabled())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        window.close();
        for (const QString& error : messages.errors())
            std::fprintf(stderr, "%s\n", qPrintable(error));
        return messages.errors().isEmpty() ? 0 : 1;
    }
    if (command == QLatin1String("wait-for")) {
        auto* liveView = window.findChild<LiveView*>(QStringLiteral("BD_CHATSLATE_LIVE_TEXTBOX"));
        QObject::connect(liveView, &LiveView::textChanged, &application, [&] {
            if (liveView->toPlainText().contains(text))
                application.exit(0);
        });
        QTimer::singleShot(10000, &application, [&] { application.exit(1); });
        std::printf("ready\n");
        std::fflush(stdout);
        const int result = application.exec();
        window.close();
        return result;
    }
    if (command == QLatin1String("close-at")) {
        window.move(text.toInt(), window.y());
        std::printf("ready\n");
        std::fflush(stdout);
        char line[16];
        if (!std::fgets(line, sizeof line, stdin))
            return 1;
        window.close();
        return 0;
    }
    return 2;
}

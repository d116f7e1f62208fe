// Posts to a share folder from a process of its own, so that tests can run real concurrent writers.
//   post_helper posts FOLDER PREFIX COUNT   after "go" on stdin posts PREFIX-1 .. PREFIX-COUNT in order;
//                                           a post that fails is tried again, as a user would
//   post_helper forever FOLDER PREFIX       posts PREFIX-1, PREFIX-2, ... until it is killed
// Both print "ready" once they are about to start.
#include "livelog/live_log.h"
#include "livelog/this_workstation.h"
#include "platform/files/system_file_access.h"

#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

// Posts refused because others held the lock too long (many writers on two cores, or through SMB) are
// tried again; past this many the helper gives up and fails its test.
constexpr int maxRefusals = 200;

void announceReady()
{
    std::printf("ready\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 4)
        return 2;
    const QString command = arguments.at(1);
    const QString folder = arguments.at(2);
    const QString prefix = arguments.at(3);
    SystemFileAccess system;
    FileAccess& files = system.files();
    const std::shared_ptr<LiveLog::Workstation> station = LiveLog::thisWorkstation();

    if (command == QLatin1String("posts") && arguments.size() == 5) {
        const int count = arguments.at(4).toInt();
        announceReady();
        std::string go;
        std::getline(std::cin, go);
        int refused = 0;
        for (int entry = 1; entry <= count; ++entry) {
            const QByteArray text = (prefix + QLatin1Char('-') + QString::number(entry)).toUtf8();
            for (;;) {
                const LiveLog::PostResult result = LiveLog::post(files, *station, folder, text);
                if (!result.failed())
                    break;
                std::fprintf(stderr, "%s\n", qPrintable(result.error().message));
                if (++refused > maxRefusals)
                    return 1;
            }
        }
        std::printf("refused %d\n", refused);
        return 0;
    }
    if (command == QLatin1String("forever")) {
        announceReady();
        for (int entry = 1;; ++entry)
            LiveLog::post(files, *station, folder,
                          (prefix + QLatin1Char('-') + QString::number(entry)).toUtf8());
    }
    return 2;
}

// Measures reads and posts of the live log through SMB (libsmbclient, loopback Samba server) against
// Samba's own smbclient fetching the same file, for logs of 1 KB, 1 MB and 10 MB.
#include "bench_support.h"
#include "livelog/live_log.h"
#include "livelog/this_workstation.h"
#include "platform/files/system_file_access.h"
#include "smb_bench_server.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

using namespace BenchSupport;

namespace {

const QString location = QStringLiteral("\\\\127.0.0.2\\Share");

QByteArray readLocal(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    SambaServer server;
    if (!startForClients(server))
        return 1;
    const QString logPath = logPathOn(server);
    SystemFileAccess connected;
    const std::shared_ptr<LiveLog::Workstation> station = LiveLog::thisWorkstation();

    std::printf("| log | read, connected | unchanged tick (server bytes read) | read, new connection | "
                "smbclient get | post | local read |\n|---|---|---|---|---|---|---|\n");
    for (const qsizetype size : {qsizetype(1'000), qsizetype(1'000'000), qsizetype(10'000'000)}) {
        const int rounds = size >= 10'000'000 ? 7 : 15;
        const QByteArray log = logOfSize(size);
        writeLog(logPath, log);
        if (LiveLog::read(connected.files(), *station, location).bytes != log)
            qFatal("the log read through SMB differs from the file");

        const double read =
            median(repeat(rounds, [&] { LiveLog::read(connected.files(), *station, location); }));
        // A tick on a log the share reports unchanged: what it costs, and what the server reads for it.
        QByteArray buffer;
        const std::optional<FileIdentity> known =
            LiveLog::readIfChanged(connected.files(), *station, location, std::nullopt, buffer).identity;
        const SambaServer::Load loadBefore = server.load();
        const double unchanged = median(repeat(rounds, [&] {
            if (!LiveLog::readIfChanged(connected.files(), *station, location, known, buffer).unchanged)
                qFatal("an unchanged log read as changed");
        }));
        const double serverBytes = double(server.load().bytesRead - loadBefore.bytesRead) / rounds;
        const double fresh = median(repeat(rounds, [&] {
            SystemFileAccess unconnected;
            LiveLog::read(unconnected.files(), *station, location);
        }));
        const double smbclient = median(repeat(rounds, [&] {
            if (server.smbclient(SambaServer::guestShare,
                                 {QStringLiteral("-c"), QStringLiteral("get CHATSLATE-LIVE.LOG /dev/null")},
                                 false) != 0)
                qFatal("smbclient failed");
        }));
        const double post = median(repeat(rounds, [&] {
            if (LiveLog::post(connected.files(), *station, location, "bench").failed())
                qFatal("post failed");
        }));
        const double local = median(repeat(rounds, [&] { readLocal(logPath); }));
        std::printf("| %s | %.2f ms | %.2f ms (%.0f bytes) | %.2f ms | %.2f ms | %.2f ms | %.2f ms |\n",
                    qPrintable(QLocale::c().formattedDataSize(size, 0, QLocale::DataSizeSIFormat)), read,
                    unchanged, serverBytes, fresh, smbclient, post, local);
    }
    return 0;
}

// Many workstations on one share: N copies of the refresh cycle, each a process of its own with its own
// SMB connection, tick every 3000 ms against a 10 MB log on a throwaway Samba server, reading it as the
// refresh cycle does. Measures what the
// server reads and spends while nobody posts, what a tick costs each client, and how long after a post
// every client has seen it.
#include "bench_support.h"
#include "livelog/live_log.h"
#include "livelog/this_workstation.h"
#include "platform/files/system_file_access.h"
#include "smb_bench_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

using namespace BenchSupport;

namespace {

const QString location = QStringLiteral("\\\\127.0.0.2\\Share");
constexpr int tickMs = 3000;
constexpr int idleSeconds = 12;

// Of all threads: the SMB calls run on a thread of their own.
double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// One workstation: ticks like the program does and says on standard output what each tick cost, when it
// first read the log, and when it saw the marker on top.
int runClient(const QByteArray& marker)
{
    SystemFileAccess connection;
    const std::shared_ptr<LiveLog::Workstation> station = LiveLog::thisWorkstation();
    bool ready = false;
    bool seen = false;
    // As the refresh cycle does: the log is read only when the share reports it changed, and whole every
    // tenth tick, into one buffer.
    constexpr int wholeReadEvery = 10;
    std::optional<FileIdentity> known;
    int trusted = 0;
    QByteArray log;
    const auto tick = [&] {
        const double before = processCpuMs();
        const bool trust = known && trusted < wholeReadEvery - 1;
        trusted = trust ? trusted + 1 : 0;
        const FileRereadResult read =
            LiveLog::readIfChanged(connection.files(), *station, location, trust ? known : std::nullopt, log);
        known = read.error.failed() ? std::nullopt : read.identity;
        std::printf("tick %.3f\n", processCpuMs() - before);
        if (!ready && !read.error.failed()) {
            ready = true;
            std::printf("ready\n");
        }
        if (!seen && !read.error.failed() && log.startsWith(marker)) {
            seen = true;
            std::printf("seen\n");
        }
        std::fflush(stdout);
    };
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, tick);
    timer.start(tickMs);
    tick();
    // The benchmark ends a client by closing its standard input.
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    return QCoreApplication::exec();
}

struct Client
{
    std::unique_ptr<QProcess> process;
    bool ready = false;
    qint64 seenAtMs = -1;
    std::vector<double> tickCpuMs;
};

void readLines(Client& client, const QElapsedTimer& clock)
{
    while (client.process->canReadLine()) {
        const QByteArray line = client.process->readLine().trimmed();
        if (line == "ready")
            client.ready = true;
        else if (line == "seen")
            client.seenAtMs = clock.elapsed();
        else if (line.startsWith("tick "))
            client.tickCpuMs.push_back(line.mid(5).toDouble());
    }
}

// Runs the event loop until done() or the time is up; false when the time ran out.
bool waitUntil(const std::function<bool()>& done, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    return true;
}

void measure(SambaServer& server, int count, const QString& logPath, int round)
{
    writeLog(logPath, logOfSize(10'000'000));

    const QByteArray marker = "Marker " + QByteArray::number(round);
    QElapsedTimer clock;
    clock.start();
    std::vector<Client> clients(count);
    for (Client& client : clients) {
        client.process = std::make_unique<QProcess>();
        client.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(client.process.get(), &QProcess::readyReadStandardOutput,
                         [&client, &clock] { readLines(client, clock); });
        client.process->start(QCoreApplication::applicationFilePath(),
                              {QStringLiteral("client"), QString::fromLatin1(marker)});
    }
    const auto all = [&](auto condition) {
        return [&clients, condition] {
            return std::all_of(clients.begin(), clients.end(), condition);
        };
    };
    if (!waitUntil(all([](const Client& c) { return c.ready; }), 120'000))
        qFatal("not every client read the log");

    // Every client has ticked at least once; from here they tick at their own pace, as workstations do.
    QThread::sleep(1);
    const SambaServer::Load before = server.load();
    const qint64 idleStart = clock.elapsed();
    waitUntil([] { return false; }, idleSeconds * 1000);
    const SambaServer::Load after = server.load();
    const double seconds = (clock.elapsed() - idleStart) / 1000.0;

    SystemFileAccess poster;
    const std::shared_ptr<LiveLog::Workstation> station = LiveLog::thisWorkstation();
    const qint64 postedAt = clock.elapsed();
    if (LiveLog::post(poster.files(), *station, location, marker).failed())
        qFatal("the post failed");
    const bool allSaw = waitUntil(all([](const Client& c) { return c.seenAtMs >= 0; }), 60'000);
    qint64 lastSeen = 0;
    std::vector<double> ticks;
    for (Client& client : clients) {
        lastSeen = std::max(lastSeen, client.seenAtMs - postedAt);
        ticks.insert(ticks.end(), client.tickCpuMs.begin(), client.tickCpuMs.end());
        client.process->closeWriteChannel();
    }
    for (Client& client : clients) {
        if (!client.process->waitForFinished(10'000))
            client.process->kill();
    }
    std::printf("| %d | %.1f KB/s | %.0f %% | %.2f ms | %s |\n", count,
                (after.bytesRead - before.bytesRead) / seconds / 1e3,
                100 * (after.cpuSeconds - before.cpuSeconds) / seconds, median(ticks),
                allSaw ? qPrintable(QStringLiteral("%1 ms").arg(lastSeen)) : "not all within 60 s");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "client") == 0)
        return runClient(argv[2]);

    SambaServer server;
    if (!startForClients(server))
        return 1;
    const QString logPath = logPathOn(server);
    std::printf("10 MB log, a tick every %d ms; server figures over %d s while nobody posts (server CPU: "
                "100 %% is one core); a tick's CPU is the client's, median of all ticks\n\n",
                tickMs, idleSeconds);
    std::printf("| clients | server reads | server CPU | client CPU per tick | all see a post after |\n"
                "|---|---|---|---|---|\n");
    int round = 0;
    for (const int count : {1, 10, 40})
        measure(server, count, logPath, ++round);
    return 0;
}

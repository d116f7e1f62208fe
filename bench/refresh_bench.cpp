// Measures what a refresh tick and a post cost against the raw read of the same log file, for logs of
// several sizes, and how long the window stops answering while a post waits on a file server that does
// not answer. Without arguments it runs one child process per size (so each size's peak memory is its
// own) and prints the table; with a size in bytes it measures that size and prints one row.
#include "bench_support.h"
#include "fakes/memory_settings_store.h"
#include "fakes/recording_reporter.h"
#include "livelog/live_log.h"
#include "livelog/live_log_format.h"
#include "livelog/this_workstation.h"
#include "platform/files/local_file_access.h"
#include "platform/large_buffers.h"
#include "session/file_worker.h"
#include "session/interval_timer.h"
#include "windows/main/live_view.h"
#include "windows/main/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace BenchSupport;

namespace {

// Far fewer rounds for the large logs, whose posts copy the whole log several times.
int roundsFor(qsizetype size)
{
    return size >= 10'000'000 ? 3 : size >= 1'000'000 ? 7 : 21;
}

// Posts run in the background; a click has done its work once the post job is idle again.
void waitForPost(MainWindow& window)
{
    const auto* worker = window.findChild<FileWorker*>();
    while (worker->isChanging())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void clickPost(MainWindow& window)
{
    window.findChild<QPlainTextEdit*>(QStringLiteral("BD_CHATSLATE_MY_TEXT_TEXTBOX"))->setPlainText("mine");
    window.findChild<QPushButton*>(QStringLiteral("CHATSLATE_BUTTON"))->click();
}

// From here on the peak counts only what follows, not the benchmark's own set-up.
void resetPeakMemory()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

long peakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Of all threads: reads run on the worker's.
double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double cpuMilliseconds(const std::function<void()>& work)
{
    const double before = processCpuMs();
    work();
    return processCpuMs() - before;
}

// The floor a tick is measured against: the file read whole into a buffer that has the room already.
void readInto(const QString& path, QByteArray& buffer)
{
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    qsizetype used = 0;
    for (;;) {
        if (used == buffer.size())
            buffer.resize(std::max<qsizetype>(buffer.size() * 2, 1 << 16));
        const ssize_t got = ::read(file, buffer.data() + used, std::size_t(buffer.size() - used));
        if (got <= 0)
            break;
        used += got;
    }
    ::close(file);
    buffer.resize(used);
}

// A process that reads the file once, as a program just started would, and tells that read's CPU time.
double freshProcessReadCpu(const QString& program, const QString& path)
{
    QProcess child;
    child.start(program, {QStringLiteral("raw-read"), path});
    child.waitForFinished(60'000);
    return child.readAllStandardOutput().trimmed().toDouble();
}

class Bench
{
public:
    explicit Bench(qsizetype size)
        : m_size(size)
        , m_rounds(roundsFor(size))
    {
        m_store.values().insert(QStringLiteral("BD_CHATSLATE_SHARE"), m_share.path());
        m_store.values().insert(QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("1"));
        m_log = logOfSize(size);
        writeLog(m_log);
        QFile::copy(logPath(), originalPath());
    }

    void run()
    {
        const double rawRead = median(repeat([&] {
            QFile file(logPath());
            file.open(QIODevice::ReadOnly);
            file.readAll();
        }));
        const double rawWrite = median(repeat([&] { writeLog(m_log); }));
        // The log is copied back from a file from now on, so that the peak is the program's alone.
        m_log = {};
        resetPeakMemory();

        // From the timer firing to the log painted on screen.
        std::vector<double> firstPaints;
        for (int round = 0; round < std::min(m_rounds, 3); ++round) {
            restoreLog();
            MainWindow window({m_store, m_files, m_station, m_messages});
            window.show();
            firstPaints.push_back(milliseconds([&] {
                tick(window);
                window.repaint();
            }));
            window.close();
        }

        restoreLog();
        MainWindow window({m_store, m_files, m_station, m_messages});
        window.show();
        tick(window);
        const double unchanged = median(repeat([&] { tick(window); }));

        std::vector<double> afterPost, afterClear, posts;
        for (int round = 0; round < m_rounds; ++round) {
            LiveLog::post(*m_files, *m_station, m_share.path(), "a post by another copy");
            afterPost.push_back(milliseconds([&] { tick(window); }));
        }
        for (int round = 0; round < m_rounds; ++round) {
            posts.push_back(milliseconds([&] {
                clickPost(window);
                waitForPost(window);
            }));
            tick(window);
        }
        const long peak = peakMemoryKiB();

        // CPU time, of all threads: a tick now, and the same work as a tick did before (the whole read,
        // then on the window's thread the comparison or the index of the new entries).
        restoreLog();
        tick(window);
        tick(window);
        std::vector<double> unchangedCpu, afterPostCpu, oldUnchangedCpu, oldAfterPostCpu, floorCpu;
        long afterPostFaults = 0;
        // The paint that a shown change asks for comes before each tick, not inside the next one.
        const auto settle = [&] {
            window.repaint();
            QCoreApplication::processEvents();
        };
        for (int round = 0; round < m_rounds; ++round) {
            settle();
            unchangedCpu.push_back(cpuMilliseconds([&] { tick(window); }));
            LiveLog::post(*m_files, *m_station, m_share.path(), "a post by another copy");
            settle();
            const long faults = minorFaults();
            afterPostCpu.push_back(cpuMilliseconds([&] { tick(window); }));
            afterPostFaults += minorFaults() - faults;
        }
        // A read handed to the worker that does nothing: what any tick costs to get there and back.
        std::vector<double> handoffCpu;
        {
            FileWorker worker(m_files, nullptr);
            for (int round = 0; round < m_rounds; ++round)
                handoffCpu.push_back(cpuMilliseconds([&] {
                    bool done = false;
                    worker.read(
                        logPath(), [](FileAccess&) { return FileReadResult{}; },
                        [&done](const FileReadResult&) { done = true; });
                    while (!done)
                        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                }));
        }
        {
            LiveView view(nullptr);
            view.showLog(LiveLog::read(*m_files, *m_station, m_share.path()).bytes);
            for (int round = 0; round < m_rounds; ++round) {
                oldUnchangedCpu.push_back(cpuMilliseconds(
                    [&] { view.showLog(LiveLog::read(*m_files, *m_station, m_share.path()).bytes); }));
                LiveLog::post(*m_files, *m_station, m_share.path(), "a post by another copy");
                oldAfterPostCpu.push_back(cpuMilliseconds(
                    [&] { view.showLog(LiveLog::read(*m_files, *m_station, m_share.path()).bytes); }));
            }
        }
        QByteArray reused;
        readInto(logPath(), reused);
        for (int round = 0; round < m_rounds; ++round)
            floorCpu.push_back(cpuMilliseconds([&] { readInto(logPath(), reused); }));
        const double freshCpu = freshProcessReadCpu(QCoreApplication::applicationFilePath(), logPath());
        for (int round = 0; round < m_rounds; ++round) {
            restoreLog();
            tick(window);
            LiveLog::clear(*m_files, *m_station, m_share.path());
            afterClear.push_back(milliseconds([&] { tick(window); }));
        }
        window.close();

        std::printf("%s\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%ld\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%"
                    ".3f\t%ld\n",
                    qPrintable(sizeName()), rawRead, rawWrite, unchanged, median(afterPost),
                    median(afterClear), median(posts), median(firstPaints), peak, median(floorCpu), freshCpu,
                    median(oldUnchangedCpu), median(unchangedCpu), median(oldAfterPostCpu),
                    median(afterPostCpu), median(handoffCpu), afterPostFaults / m_rounds);
    }

private:
    QString logPath() const { return m_share.filePath(QStringLiteral("CHATSLATE-LIVE.LOG")); }

    QString originalPath() const { return m_original.filePath(QStringLiteral("original.log")); }

    void restoreLog()
    {
        QFile::remove(logPath());
        QFile::copy(originalPath(), logPath());
    }

    void writeLog(const QByteArray& bytes)
    {
        QFile file(logPath());
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }

    std::vector<double> repeat(const std::function<void()>& work)
    {
        return BenchSupport::repeat(m_rounds, work);
    }

    // A whole tick as the user waits for it: from the timer firing to the result on screen, when the
    // refresh timer resumes.
    static void tick(MainWindow& window)
    {
        auto* timer = window.findChild<IntervalTimer*>(QStringLiteral("MAIN_TEXT_REFRESH_TIMER"));
        emit timer->tick();
        while (!timer->isRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    QString sizeName() const
    {
        return m_size >= 1'000'000 ? QStringLiteral("%1 MB").arg(m_size / 1'000'000)
                                   : QStringLiteral("%1 KB").arg(m_size / 1'000);
    }

    qsizetype m_size;
    int m_rounds;
    QTemporaryDir m_share;
    QTemporaryDir m_original;
    QByteArray m_log;
    MemorySettingsStore m_store;
    std::shared_ptr<LocalFileAccess> m_files = std::make_shared<LocalFileAccess>();
    const std::shared_ptr<LiveLog::Workstation> m_station = LiveLog::thisWorkstation();
    RecordingReporter m_messages;
};

// A file server that stopped answering: every call waits as long as the SMB library waits for an
// answer, then fails.
class DeadServerFileAccess final : public FileAccess
{
public:
    FileReadResult readAll(const QString& path) override { return {{}, timedOut(path)}; }
    FileError writeAll(const QString& path, const QByteArray&, Create) override { return timedOut(path); }
    FileError replace(const QString&, const QString& target, const QString&) override
    {
        return timedOut(target);
    }
    FileError remove(const QString& path) override { return timedOut(path); }
    FileTimeResult modificationTime(const QString& path) override { return {0, timedOut(path)}; }
    FileListResult listBeside(const QString& path, const QString&) override { return {{}, timedOut(path)}; }

private:
    static FileError timedOut(const QString& path)
    {
        QThread::msleep(4000);
        return {FileError::Kind::serverUnreachable,
                QStringLiteral("Cannot open %1: the server does not answer.").arg(path)};
    }
};

// The longest time the window's event loop did not answer while a post waited on a dead server, as
// a 10 ms timer sees it.
void printFrozenWindow()
{
    MemorySettingsStore store;
    store.values().insert(QStringLiteral("BD_CHATSLATE_SHARE"), QStringLiteral("\\\\DEAD\\Share"));
    store.values().insert(QStringLiteral("AUTO_REFRESH_TICKBOX"), QStringLiteral("1"));
    RecordingReporter messages;
    MainWindow window(
        {store, std::make_shared<DeadServerFileAccess>(), LiveLog::thisWorkstation(), messages});
    window.show();

    QElapsedTimer sinceLastAnswer;
    double longestGap = 0;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, &window, [&] {
        longestGap = std::max(longestGap, sinceLastAnswer.nsecsElapsed() / 1e6);
        sinceLastAnswer.restart();
    });
    heartbeat.start(10);
    sinceLastAnswer.start();
    const double post = milliseconds([&] {
        clickPost(window);
        waitForPost(window);
    });
    longestGap = std::max(longestGap, sinceLastAnswer.nsecsElapsed() / 1e6);
    window.close();
    std::printf(
        "\nPost to a server that does not answer (each file call waits 4 s): the post took %.0f ms and "
        "reported %lld message(s); the window's event loop was never blocked longer than %.1f ms.\n",
        post, static_cast<long long>(messages.errors().size()), longestGap);
}

// A log that never got a line end: each paint and each jump along it, as the user would scroll and click.
void printLongLinePaint(qsizetype size)
{
    QByteArray line;
    line.reserve(size);
    for (int word = 0; line.size() < size; ++word)
        line += "word" + QByteArray::number(word) + ' ';
    LiveView view(nullptr);
    view.resize(690, 153);
    view.show();
    double longest = 0;
    // grab() paints the view whether or not a window system shows it.
    const auto measure = [&](const std::function<void()>& step) {
        longest = std::max(longest, milliseconds([&] {
                               step();
                               view.viewport()->grab();
                           }));
    };
    measure([&] { view.showLog(line); });
    QScrollBar* sideways = view.horizontalScrollBar();
    for (const int step : {1, 2, 3, 4})
        measure([&] { sideways->setValue(sideways->maximum() / 4 * step); });
    measure([&] { sideways->triggerAction(QAbstractSlider::SliderSingleStepSub); });
    measure([&] { view.setSelection({0, line.size() / 2}, {0, line.size() / 2 + 10}); });
    std::printf("\nA log of one %.0f MB line: the longest paint or scroll step took %.1f ms.\n", size / 1e6,
                longest);
}

QString ratio(double value, double floor)
{
    return QStringLiteral("%1 ms (%2x)").arg(value, 0, 'f', 2).arg(value / floor, 0, 'f', 2);
}

int printTable(const QString& program)
{
    std::printf(
        "| log | raw read | unchanged tick | tick after a post | tick after a clear | post (raw read + "
        "write = 1x) | first paint | peak memory |\n|---|---|---|---|---|---|---|---|\n");
    std::vector<QList<QByteArray>> rows;
    for (const qsizetype size : {1'000, 100'000, 1'000'000, 10'000'000, 100'000'000}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(program, {QString::number(size)});
        if (!child.waitForFinished(600'000) || child.exitCode() != 0)
            return 1;
        const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split('\t');
        const double rawRead = f[1].toDouble();
        std::printf("| %s | %.2f ms | %s | %s | %s | %s | %s | %ld MiB |\n", f[0].constData(), rawRead,
                    qPrintable(ratio(f[3].toDouble(), rawRead)), qPrintable(ratio(f[4].toDouble(), rawRead)),
                    qPrintable(ratio(f[5].toDouble(), rawRead)),
                    qPrintable(ratio(f[6].toDouble(), rawRead + f[2].toDouble())),
                    qPrintable(ratio(f[7].toDouble(), rawRead)), f[8].toLong() / 1024);
        rows.push_back(f);
    }
    std::printf("\nCPU time of all threads, medians (ms; the ratio is to the read into a reused buffer):\n\n"
                "| log | read into a reused buffer | raw read in a fresh process | unchanged tick, before | "
                "unchanged tick | tick after a post, before | tick after a post | hand-off to the reading "
                "thread and back "
                "| page faults per tick after a post |\n|---|---|---|---|---|---|---|---|---|\n");
    for (const QList<QByteArray>& f : rows) {
        const double floor = f[9].toDouble();
        const auto cpu = [floor](const QByteArray& value) {
            return QStringLiteral("%1 (%2x)")
                .arg(value.toDouble(), 0, 'f', 3)
                .arg(value.toDouble() / floor, 0, 'f', 2);
        };
        std::printf("| %s | %.3f | %.3f | %s | %s | %s | %s | %.3f | %ld |\n", f[0].constData(), floor,
                    f[10].toDouble(), qPrintable(cpu(f[11])), qPrintable(cpu(f[12])), qPrintable(cpu(f[13])),
                    qPrintable(cpu(f[14])), f[15].toDouble(), f[16].toLong());
    }
    printFrozenWindow();
    printLongLinePaint(10'000'000);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && QByteArray(argv[1]) == "raw-read") {
        const double before = processCpuMs();
        QFile file(QString::fromLocal8Bit(argv[2]));
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        std::printf("%.3f\n", processCpuMs() - before);
        return bytes.isEmpty() ? 1 : 0;
    }
    // As the program does.
    LargeBuffers::returnToSystemWhenFreed();
    QApplication application(argc, argv);
    if (argc < 2)
        return printTable(QCoreApplication::applicationFilePath());
    if (QByteArray(argv[1]) == "long-line") {
        printLongLinePaint(10'000'000);
        return 0;
    }
    Bench(QByteArray(argv[1]).toLongLong()).run();
    return 0;
}

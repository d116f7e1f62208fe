// Measures what a refresh tick and a post cost against the raw read of the same log file, for logs of
// several sizes. Without arguments it runs one child process per size (so each size's peak memory is
// its own) and prints the table; with a size in bytes it measures that size and prints one row.
#include "bench_support.h"
#include "fakes/memory_settings_store.h"
#include "fakes/recording_reporter.h"
#include "livelog/live_log.h"
#include "livelog/live_log_format.h"
#include "platform/local_file_access.h"
#include "windows/common/interval_timer.h"
#include "windows/main/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace BenchSupport;

namespace {

// Far fewer rounds for the large logs, whose untimed set-up (laying out the whole log) takes seconds.
int roundsFor(qsizetype size)
{
    return size >= 10'000'000 ? 3 : size >= 1'000'000 ? 7 : 21;
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
    }

    void run()
    {
        const double rawRead = median(repeat([&] {
            QFile file(logPath());
            file.open(QIODevice::ReadOnly);
            file.readAll();
        }));
        const double rawWrite = median(repeat([&] { writeLog(m_log); }));

        std::vector<double> firstTicks;
        for (int round = 0; round < std::min(m_rounds, 3); ++round) {
            writeLog(m_log);
            MainWindow window({m_store, m_files, m_messages});
            window.show();
            firstTicks.push_back(milliseconds([&] { tick(window); }));
            window.close();
        }

        writeLog(m_log);
        MainWindow window({m_store, m_files, m_messages});
        window.show();
        tick(window);
        const double unchanged = median(repeat([&] { tick(window); }));

        std::vector<double> afterPost, afterClear, posts;
        for (int round = 0; round < m_rounds; ++round) {
            LiveLog::post(m_files, m_share.path(), "a post by another copy");
            afterPost.push_back(milliseconds([&] { tick(window); }));
        }
        for (int round = 0; round < m_rounds; ++round) {
            window.findChild<QPlainTextEdit*>(QStringLiteral("BD_CHATSLATE_MY_TEXT_TEXTBOX"))
                ->setPlainText("mine");
            auto* post = window.findChild<QPushButton*>(QStringLiteral("CHATSLATE_BUTTON"));
            posts.push_back(milliseconds([&] { post->click(); }));
            tick(window);
        }
        const long peak = peakMemoryKiB();
        for (int round = 0; round < m_rounds; ++round) {
            writeLog(m_log);
            tick(window);
            LiveLog::clear(m_files, m_share.path());
            afterClear.push_back(milliseconds([&] { tick(window); }));
        }
        window.close();

        std::printf("%s\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%ld\n", qPrintable(sizeName()), rawRead,
                    rawWrite, unchanged, median(afterPost), median(afterClear), median(posts),
                    median(firstTicks), peak);
    }

private:
    QString logPath() const { return m_share.filePath(QStringLiteral("CHATSLATE-LIVE.LOG")); }

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
    QByteArray m_log;
    MemorySettingsStore m_store;
    LocalFileAccess m_files;
    RecordingReporter m_messages;
};

QString ratio(double value, double floor)
{
    return QStringLiteral("%1 ms (%2x)").arg(value, 0, 'f', 2).arg(value / floor, 0, 'f', 2);
}

int printTable(const QString& program)
{
    std::printf(
        "| log | raw read | unchanged tick | tick after a post | tick after a clear | post (raw read + "
        "write = 1x) | first tick | peak memory |\n|---|---|---|---|---|---|---|---|\n");
    for (const qsizetype size : {1'000, 100'000, 1'000'000, 10'000'000}) {
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
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc < 2)
        return printTable(QCoreApplication::applicationFilePath());
    Bench(QByteArray(argv[1]).toLongLong()).run();
    return 0;
}

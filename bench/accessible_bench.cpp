// What a screen reader's requests cost on logs of 1 MB to 100 MB: the first request after a new log
// (which indexes where each line starts in the text), a range of text near the top, a line by offset,
// and keeping the index after a post in front. Times are medians of a few rounds, in milliseconds.
#include "bench_support.h"
#include "windows/main/live_view.h"

#include <QAccessible>
#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    std::printf("| log | show | first request (index) | 200 characters | line at offset | post in front, "
                "then count |\n|---|---|---|---|---|---|\n");
    for (const qsizetype megabytes : {1, 10, 100}) {
        const QByteArray log = BenchSupport::logOfSize(megabytes << 20);
        const QByteArray grown = LiveLogFormat::composePost("A new entry", log);
        std::vector<double> show, index, range, line, growth;
        for (int round = 0; round < 3; ++round) {
            LiveView view(nullptr);
            view.resize(690, 153);
            QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&view)->textInterface();
            show.push_back(BenchSupport::milliseconds([&] { view.showLog(log); }));
            int count = 0;
            index.push_back(BenchSupport::milliseconds([&] { count = text->characterCount(); }));
            range.push_back(BenchSupport::milliseconds([&] { text->text(1000, 1200); }));
            int start = 0;
            int end = 0;
            line.push_back(BenchSupport::milliseconds(
                [&] { text->textAtOffset(count / 2, QAccessible::LineBoundary, &start, &end); }));
            growth.push_back(BenchSupport::milliseconds([&] {
                view.showLog(grown);
                count = text->characterCount();
            }));
        }
        std::printf("| %lld MB | %.1f ms | %.1f ms | %.3f ms | %.3f ms | %.1f ms |\n",
                    static_cast<long long>(megabytes), BenchSupport::median(show),
                    BenchSupport::median(index), BenchSupport::median(range), BenchSupport::median(line),
                    BenchSupport::median(growth));
    }
    return 0;
}

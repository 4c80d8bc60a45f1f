// How long the start-up status pass takes for catalogues of 10, 100 and 1000 entries, against one plain
// "dpkg-query -W" call, and against one shell pipeline per entry. Only reads the package database.
//
//   bench_status [runs]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/process.h"
#include "mainwindow/packagestatus.h"

namespace {

// The median of runs, in milliseconds.
double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    work(); // warm the caches first
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A catalogue of n entries, half of them installed here and half of them not.
QStringList catalogue(int n, const QStringList &installed)
{
    QStringList names;
    for (int i = 0; i < n; ++i)
        names << (i % 2 == 0 && i / 2 < installed.size() ? installed.at(i / 2) : QStringLiteral("zv-absent-%1").arg(i));
    return names;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 21;

    const ProcessResult list =
        runProgram(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("-f=${Package}\\n")});
    if (!list.started || list.exitCode != 0) {
        std::fprintf(stderr, "bench_status: dpkg-query cannot run here\n");
        return 1;
    }
    const QStringList installed = QString::fromUtf8(list.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);

    const double plain = medianMs(runs, [] { runProgram(QStringLiteral("dpkg-query"), {QStringLiteral("-W")}); });
    std::printf("%d packages installed; median of %d runs\n", int(installed.size()), runs);
    std::printf("plain \"dpkg-query -W\": %.2f ms\n\n", plain);
    std::printf("%8s %10s %12s %8s %16s\n", "entries", "installed", "status pass", "ratio", "shell per entry");

    bool met = true;
    for (const int n : {10, 100, 1000}) {
        const QStringList names = catalogue(n, installed);
        int found = 0;
        const double pass = medianMs(runs, [&] { QSet<QString> got; PackageStatus::queryInstalled(names, &got); found = got.size(); });
        // The same question asked the old way, one pipeline per entry in sequence (once: it is slow).
        QElapsedTimer clock;
        clock.start();
        for (const QString &name : names)
            runProgram(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("dpkg -s \"$1\" | grep Status"),
                                              QStringLiteral("sh"), name});
        const double perEntry = clock.nsecsElapsed() / 1e6;
        std::printf("%8d %10d %9.2f ms %7.2fx %13.1f ms\n", n, found, pass, pass / plain, perEntry);
        if (n == 1000)
            met = pass < 3 * plain && pass < 100;
    }
    std::printf("\ntarget for 1000 entries (under 3x the plain call and under 100 ms): %s\n", met ? "met" : "NOT met");
    return 0;
}

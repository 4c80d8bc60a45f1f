// Times the installability check from the "Проверить" button to its end for 1, 10 and 30 packages of a local
// repository that apt can install, for 30 of which one cannot be installed, for 30 of which three cannot (two
// unknown names, one with an unmet dependency) and for 30 of which one would remove an installed package. Each time is split into the fixed
// pauses, apt's time (every apt-get the program starts goes through a stopwatch in front of the real one) and the
// program's own time (measured in a second run with the pauses at zero). Beside it: one plain joint
// "apt-get install -s" over the same names, the practical limit of a check.
//
// A second table runs Installability::judge over the same names with real apt-get simulations (the check's own
// arguments, AptCommands::simulateArgs), once at "-q", at which apt lists the unmet dependencies, and once at "-qq",
// at which it does not: how many simulations it needs, apt's time and its ratio to the joint limit.
//
// It changes apt's sources, so it runs in the sandbox only:
//   tests/sandbox.sh --no-net -- build/bench/bench_check
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include "app/messagebox.h"
#include "app/process.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "catalogue/catalogueaccess.h"
#include "mainwindow/aptcommands.h"
#include "mainwindow/formmain.h"
#include "mainwindow/installability.h"

namespace {

const QString AptTimes = QStringLiteral("/tmp/zv-bench-apt-times");

QString name(int i) { return QStringLiteral("zv-check%1").arg(i + 1); }

bool sh(const QString &script, const QStringList &args)
{
    return runProgram(QStringLiteral("sh"), QStringList{QStringLiteral("-c"), script, QStringLiteral("sh")} + args,
                      300000).exitCode == 0;
}

// The local repository: count packages that install, zv-broken, which needs a package nobody has, and zv-replacer,
// which conflicts with zv-old, installed here.
bool makeRepository(const QString &repo, int count)
{
    const QString build = QStringLiteral(
        "set -e; cd \"$1\"; name=$2; mkdir -p src/$name/DEBIAN\n"
        "printf 'Package: %s\\nVersion: 1.0\\nArchitecture: all\\nMaintainer: B <b@example.org>\\n%bDescription: b\\n' "
        "\"$name\" \"$3\" > src/$name/DEBIAN/control\n"
        "dpkg-deb --build --root-owner-group src/$name $name.deb >/dev/null");
    for (int i = 0; i < count; ++i)
        if (!sh(build, {repo, name(i), QString()}))
            return false;
    return sh(build, {repo, QStringLiteral("zv-broken"), QStringLiteral("Depends: zv-nobody-has-it\\n")}) &&
           sh(build, {repo, QStringLiteral("zv-old"), QString()}) &&
           sh(build, {repo, QStringLiteral("zv-replacer"), QStringLiteral("Conflicts: zv-old\\n")}) &&
           sh(QStringLiteral("cd \"$1\" && dpkg-scanpackages . /dev/null > Packages 2>/dev/null && chmod 755 \"$1\""),
              {repo}) &&
           // Beside the machine's own package lists, so that apt loads a cache of a real system's size; only the local
           // source is refreshed, without a network and without dropping the others.
           sh(QStringLiteral("echo \"deb [trusted=yes] file:$1 ./\" > /etc/apt/sources.list.d/zv-bench.list && "
                             "apt-get update -qq -o Dir::Etc::sourcelist=/etc/apt/sources.list.d/zv-bench.list "
                             "-o Dir::Etc::sourceparts=/nonexistent -o APT::Get::List-Cleanup=0"),
              {repo}) &&
           sh(QStringLiteral("dpkg -i \"$1\"/zv-old.deb >/dev/null"), {repo});
}

// An apt-get first on the search path that adds its wall time in nanoseconds to AptTimes and runs the real one.
bool installStopwatch(const QString &bin)
{
    QDir().mkpath(bin);
    const QString path = bin + QStringLiteral("/apt-get");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("#!/bin/sh\nstart=$(date +%s%N)\n/usr/bin/apt-get \"$@\"\nstatus=$?\n"
            "echo $(($(date +%s%N) - start)) >> " + AptTimes.toUtf8() + "\nexit $status\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(bin) + ':' + qgetenv("PATH"));
    return true;
}

struct Run {
    qint64 totalMs = 0;
    qint64 aptMs = 0;
    int aptRuns = 0;
};

// One check over the catalogue's rows with the pauses at scale, from the button to the end text.
Run check(const QStringList &packages, double scale)
{
    QVector<CatalogueEntry> entries;
    for (const QString &package : packages)
        entries << CatalogueEntry::fromFields({package, QStringLiteral("тест"), package});
    CatalogueAccess::write(QString::fromLatin1(Sys::CatalogueFile), entries);
    QFile::remove(AptTimes);
    Timing::setScale(scale);
    FormMain window;
    QElapsedTimer clock;
    clock.start();
    window.ButtonCheck->click();
    while (!window.ButtonOK->isEnabled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    Run run;
    run.totalMs = clock.elapsed();
    QFile times(AptTimes);
    if (times.open(QIODevice::ReadOnly))
        for (const QByteArray &line : times.readAll().split('\n'))
            if (!line.isEmpty()) {
                run.aptMs += line.toLongLong() / 1000000;
                ++run.aptRuns;
            }
    window.close();
    return run;
}

// The median of three plain joint simulations over the names, in milliseconds.
qint64 jointLimit(const QStringList &packages)
{
    QVector<qint64> ms;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        runProgram(QStringLiteral("/usr/bin/apt-get"), QStringList{"install", "-s", "-qq", "-y", "--"} + packages, 120000);
        ms << clock.elapsed();
    }
    std::sort(ms.begin(), ms.end());
    return ms.at(1);
}

struct Judged {
    int simulations = 0;
    qint64 aptMs = 0;
    int failing = 0;
};

// Installability::judge over the names, each simulation a real apt-get run at the given quietness.
Judged judged(const QStringList &packages, const QString &quiet)
{
    Judged result;
    const auto simulate = [&](const QStringList &names) {
        QElapsedTimer clock;
        clock.start();
        QStringList args = AptCommands::simulateArgs(names);
        args.replace(args.indexOf(QStringLiteral("-q")), quiet);
        const ProcessResult answer = runProgram(QStringLiteral("/usr/bin/apt-get"), args, 120000);
        result.aptMs += clock.elapsed();
        return answer;
    };
    const Installability::Outcome outcome = Installability::judge(packages, simulate);
    result.simulations = outcome.simulations;
    result.failing = outcome.failures.size();
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("ZAVIRON_SANDBOX")) {
        std::fprintf(stderr, "bench_check changes apt's sources: run it through tests/sandbox.sh\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir repo(QStringLiteral("/var/tmp/zaviron-bench-check-XXXXXX")), work;
    if (!makeRepository(repo.path(), 30) || !installStopwatch(work.path() + QStringLiteral("/bin")))
        return 1;
    QDir::setCurrent(work.path());
    MessageBoxes::setAnswerer([](QMessageBox *) { return int(QMessageBox::Close); });

    const QByteArray stats = runProgram(QStringLiteral("apt-cache"), {QStringLiteral("stats")}).out;
    std::printf("installability check from the button to its end (ms; apt = wall time of the apt-get runs)\n"
                "apt's cache: %s\n", stats.left(stats.indexOf('\n')).constData());
    std::printf("%-62s %8s %8s %8s %8s %6s %12s\n", "packages", "total", "pauses", "apt", "own", "runs",
                "joint limit");
    struct Case {
        const char *label;
        int count;
        QStringList failing; // spread over the list
    };
    const QVector<Case> cases{
        {"1 installable", 1, {}},
        {"10 installable", 10, {}},
        {"30 installable", 30, {}},
        {"30, one of them failing", 29, {"zv-broken"}},
        {"30, three failing (two missing, one with an unmet dependency)", 27, {"zv-missing1", "zv-broken", "zv-missing2"}},
        {"30, one whose installation would remove a package", 29, {"zv-replacer"}}};
    QVector<QStringList> names;
    for (const Case &c : cases) {
        QStringList packages;
        for (int i = 0; i < c.count; ++i)
            packages << name(i);
        for (int i = 0; i < c.failing.size(); ++i)
            packages.insert((2 * i + 1) * packages.size() / (2 * c.failing.size()), c.failing.at(i));
        names << packages;
    }
    for (int k = 0; k < cases.size(); ++k) {
        const Case &c = cases.at(k);
        const QStringList &packages = names.at(k);
        // The program's own time is what a run without pauses spends outside apt; the pauses are the rest.
        const Run paused = check(packages, 1.0), unpaused = check(packages, 0.0);
        const qint64 own = unpaused.totalMs - unpaused.aptMs, pauses = paused.totalMs - paused.aptMs - own;
        std::printf("%-62s %8lld %8lld %8lld %8lld %6d %12lld\n", c.label, static_cast<long long>(paused.totalMs),
                    static_cast<long long>(pauses), static_cast<long long>(paused.aptMs),
                    static_cast<long long>(own), paused.aptRuns,
                    static_cast<long long>(jointLimit(packages)));
        std::fflush(stdout);
    }

    std::printf("\nInstallability::judge with real simulations (ms; --no-remove; -q lists unmet dependencies, -qq not)\n");
    std::printf("%-62s %8s %6s %8s %6s %8s %6s %8s %12s\n", "packages", "failing", "runs", "apt -q", "ratio", "", "runs",
                "apt -qq", "joint limit");
    for (int k = 0; k < cases.size(); ++k) {
        const qint64 limit = jointLimit(names.at(k));
        const Judged q = judged(names.at(k), QStringLiteral("-q")), qq = judged(names.at(k), QStringLiteral("-qq"));
        std::printf("%-62s %8d %6d %8lld %6.1f %8s %6d %8lld %12lld  (ratio at -qq %.1f)\n", cases.at(k).label, q.failing,
                    q.simulations, static_cast<long long>(q.aptMs), double(q.aptMs) / double(qMax<qint64>(limit, 1)), "",
                    qq.simulations, static_cast<long long>(qq.aptMs), static_cast<long long>(limit),
                    double(qq.aptMs) / double(qMax<qint64>(limit, 1)));
        std::fflush(stdout);
    }
    return 0;
}

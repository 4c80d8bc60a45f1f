// The catalogue's other forms: the built zaviron-catalogue over 100 000 entries, each command a child process whose
// wall time and peak memory are measured (standard output to a file or /dev/null), then the time the core library
// takes to write the text form and the playbook for catalogues of growing size, in this process.
//
//   bench_cataloguetext
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "catalogue/catalogueaccess.h"
#include "catalogue/cataloguetext.h"
#include "catalogue/playbook.h"

namespace {

// Mostly plain entries; every tenth has a field that needs quoting, every fifth a PPA, every seventh a key and a
// sources line, every thirteenth a package field that is no package name.
QVector<CatalogueEntry> catalogue(int size)
{
    QVector<CatalogueEntry> entries;
    entries.reserve(size);
    for (int i = 0; i < size; ++i)
        entries << CatalogueEntry::fromFields(
            {QStringLiteral("Программа %1").arg(i),
             i % 10 ? QStringLiteral("Описание программы номер %1 для проверки").arg(i)
                    : QStringLiteral("\"Две\" строки:\nвторая {{ %1 }} ").arg(i),
             i % 13 ? QStringLiteral("package-%1").arg(i) : QStringLiteral("no package %1").arg(i),
             i % 5 ? QString() : QStringLiteral("ppa:team/archive-%1").arg(i),
             // One key address, fetched once by to-ansible (which leaves its entries out where it cannot be had).
             i % 7 ? QString() : QStringLiteral("https://download.example.org/keys/archive.asc"),
             i % 7 ? QString() : QStringLiteral("deb [arch=amd64] https://dl.example.org/%1 stable main").arg(i)});
    return entries;
}

double msOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

struct ChildRun {
    int status = -1;
    double ms = 0;
    long peakKiB = 0;
};

// Runs the tool with args, its standard output to outPath; the child's own peak memory from wait4.
long peakKiB()
{
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray contents(const std::string &path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ChildRun runTool(const std::vector<std::string> &args, const char *outPath)
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(ZAVIRON_TOOL));
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    ChildRun result;
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    struct rusage usage {};
    if (pid > 0 && wait4(pid, &result.status, 0, &usage) == pid) {
        result.ms = timer.nsecsElapsed() / 1e6;
        result.peakKiB = usage.ru_maxrss;
    }
    return result;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const std::string db = (dir.path() + QStringLiteral("/catalogue.db")).toStdString();
    const std::string txt = (dir.path() + QStringLiteral("/catalogue.txt")).toStdString();
    const std::string back = (dir.path() + QStringLiteral("/back.db")).toStdString();
    // A child writes the catalogue: a child process starts with its parent's peak memory, so the parent stays small
    // until the tool's runs are measured.
    const pid_t writer = fork();
    if (writer == 0)
        _exit(CatalogueAccess::write(QString::fromStdString(db), catalogue(100000)) ? 0 : 1);
    int writerStatus = -1;
    if (writer < 0 || waitpid(writer, &writerStatus, 0) != writer || !WIFEXITED(writerStatus) ||
        WEXITSTATUS(writerStatus) != 0)
        return 1;
    std::printf("zaviron-catalogue over 100 000 entries (%.1f MiB catalogue file), one child process each; this "
                "process's own peak so far: %.1f MiB\n",
                QFileInfo(QString::fromStdString(db)).size() / 1048576.0, peakKiB() / 1024.0);
    struct Step {
        const char *label;
        std::vector<std::string> args;
        const char *out;
    };
    const Step steps[] = {{"--help (start-up alone)", {"--help"}, "/dev/null"},
                          {"to-text", {"to-text", db}, txt.c_str()},
                          {"to-ansible", {"to-ansible", db}, "/dev/null"},
                          {"to-db (of the text)", {"to-db", txt, back}, "/dev/null"}};
    std::printf("%-26s %10s %14s\n", "command", "wall ms", "peak MiB");
    for (const Step &step : steps) {
        const ChildRun r = runTool(step.args, step.out);
        if (!WIFEXITED(r.status) || WEXITSTATUS(r.status) != 0) {
            std::fprintf(stderr, "%s failed\n", step.label);
            return 1;
        }
        std::printf("%-26s %10.0f %14.1f\n", step.label, r.ms, r.peakKiB / 1024.0);
    }
    if (contents(back) != contents(db)) {
        std::fprintf(stderr, "to-text then to-db changed the catalogue\n");
        return 1;
    }

    std::printf("\nin process (core library):\n%8s %12s %12s %12s %12s\n", "entries", "text MiB", "to-text ms",
                "playbook MiB", "to-ansible ms");
    for (int size : {1000, 10000, 100000}) {
        const QVector<CatalogueEntry> entries = catalogue(size);
        QByteArray text, playbook;
        const double textMs = msOf([&] { text = CatalogueText::format(entries).toUtf8(); });
        const double playbookMs = msOf([&] { playbook = Playbook::generate(entries, {}, nullptr, [](const QString &, QString *) { return QByteArray(1200, '\x99'); }).toUtf8(); });
        QVector<CatalogueEntry> reread;
        if (!CatalogueText::parse(QString::fromUtf8(text), &reread, nullptr) || reread != entries) {
            std::fprintf(stderr, "the text form of %d entries did not read back\n", size);
            return 1;
        }
        std::printf("%8d %12.1f %12.2f %12.1f %12.2f\n", size, text.size() / 1048576.0, textMs,
                    playbook.size() / 1048576.0, playbookMs);
    }
    return 0;
}

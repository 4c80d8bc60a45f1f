// Times an installation run of five packages from a local repository and splits it into the fixed pauses between
// packages, the time the terminal windows ran apt, and what is left: the program's own overhead. For comparison it
// also installs the same packages with apt-get directly.
//
// It installs packages, so it runs in the sandbox only:
//   tests/sandbox.sh --no-net -- build/bench/bench_install
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "tests/support/support.h"
#include "app/messagebox.h"
#include "app/process.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "catalogue/catalogueaccess.h"
#include "mainwindow/formmain.h"
#include "terminal/formterminal.h"

namespace {

const int Packages = 5;
const int DelayPerPackageMs = 1000; // the pause before each terminal window opens

QString name(int i) { return QStringLiteral("zv-bench%1").arg(i + 1); }

// Sums the time from each terminal window's appearance to its end signal.
class TerminalClock : public QObject
{
public:
    qint64 totalMs = 0;
    int windows = 0;
    QElapsedTimer clock;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *terminal = qobject_cast<FormTerminal *>(watched);
        if (terminal && event->type() == QEvent::Show && !terminal->property("timed").toBool()) {
            terminal->setProperty("timed", true);
            ++windows;
            const qint64 start = clock.elapsed();
            connect(terminal, &FormTerminal::closeTerminal, this,
                    [this, start] { totalMs += clock.elapsed() - start; });
        }
        return false;
    }
};

bool purge()
{
    QStringList args{QStringLiteral("--purge")};
    for (int i = 0; i < Packages; ++i)
        args << name(i);
    return runProgram(QStringLiteral("dpkg"), args, 120000).exitCode == 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("ZAVIRON_SANDBOX")) {
        std::fprintf(stderr, "bench_install installs packages: run it through tests/sandbox.sh\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir repoDir(QStringLiteral("/var/tmp/zaviron-bench-XXXXXX"));
    const QString repo = repoDir.path();
    for (int i = 0; i < Packages; ++i)
        if (!AptFixture::buildPackage(repo, name(i)))
            return 1;
    if (!AptFixture::indexRepository(repo) ||
        !AptFixture::onlySources("deb [trusted=yes] file:" + repo.toUtf8() + " ./\n") || !AptFixture::aptUpdate())
        return 1;

    // apt alone: the same packages installed one by one, straight from the command line.
    QElapsedTimer direct;
    direct.start();
    for (int i = 0; i < Packages; ++i)
        runProgram(QStringLiteral("apt-get"), {QStringLiteral("-y"), QStringLiteral("install"), QStringLiteral("--"), name(i)},
                   120000);
    const qint64 directMs = direct.elapsed();
    if (!purge())
        return 1;

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    QVector<CatalogueEntry> entries;
    for (int i = 0; i < Packages; ++i)
        entries << CatalogueEntry::fromFields({name(i), QStringLiteral("тест"), name(i)});
    if (!CatalogueAccess::write(QString::fromLatin1(Sys::CatalogueFile), entries))
        return 1;
    MessageBoxes::setAnswerer([](QMessageBox *) { return int(QMessageBox::Close); });
    Timing::setScale(1.0);

    TerminalClock terminals;
    app.installEventFilter(&terminals);
    FormMain window;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (window.ButtonCancel->text() == QStringLiteral("Закрыть"))
            loop.quit();
    });
    terminals.clock.start();
    QMetaObject::invokeMethod(&window, "ok");
    poll.start(1);
    loop.exec();
    const qint64 runMs = terminals.clock.elapsed();

    const qint64 delaysMs = qint64(Packages) * DelayPerPackageMs;
    const qint64 overheadMs = runMs - delaysMs - terminals.totalMs;
    std::printf("installation run of %d local packages (%d terminal windows)\n", Packages, terminals.windows);
    std::printf("  from ok() to the end of the run   %7lld ms\n", static_cast<long long>(runMs));
    std::printf("  fixed pauses (%d x %d ms)       %7lld ms\n", Packages, DelayPerPackageMs,
                static_cast<long long>(delaysMs));
    std::printf("  apt in the terminal windows       %7lld ms\n", static_cast<long long>(terminals.totalMs));
    std::printf("  the program's own overhead        %7lld ms  (%.2f %% of the run; target under 5 %%)\n",
                static_cast<long long>(overheadMs), 100.0 * double(overheadMs) / double(runMs));
    std::printf("  for comparison: apt-get alone     %7lld ms for the same packages\n",
                static_cast<long long>(directMs));
    return 0;
}

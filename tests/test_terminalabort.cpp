// The terminal window's abort inside the sandbox's own process namespace, with a dummy apt-get first on the search
// path: only the apt-get processes this program started are ended, never another program's.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include "app/ownprocesses.h"
#include "mainwindow/repocommands.h"
#include "terminal/formterminal.h"
#include "terminal/termwidget.h"
#include "terminal/termwidgetholder.h"
#include "terminal/termwidgetimpl.h"

namespace {

// True while pid runs as apt-get; one that has ended but is not yet reaped does not count.
bool runsAptGet(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    return stat.contains("(apt-get)") && close + 2 < stat.size() && stat.at(close + 2) != 'Z';
}

pid_t shellPid(FormTerminal *w) { return w->consoleTabulator->terminalHolder()->terminal()->impl()->getShellPID(); }

} // namespace

class TestTerminalAbort : public QObject
{
    Q_OBJECT

    QTemporaryDir *dir = nullptr;
    QByteArray oldPath = qgetenv("PATH");
    qint64 outside = 0;

    // A program named apt-get in the folder sub that runs until a signal ends it; with exitOnTerm it leaves
    // normally on SIGTERM, as a real apt-get may. Once it is ready for the signal it creates "ready" beside itself.
    // Returns its path.
    QString dummy(const QString &sub, bool exitOnTerm)
    {
        QDir(dir->path()).mkdir(sub);
        QFile f(dir->filePath(sub + QStringLiteral("/apt-get")));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray("#!/bin/sh\n") + (exitOnTerm ? "trap 'exit 100' TERM\n" : "") +
                ": > \"${0%/*}/ready\"\nwhile :; do sleep 0.1; done\n");
        f.setPermissions(f.permissions() | QFile::ExeOwner);
        return f.fileName();
    }

    // Puts a dummy apt-get first on the search path, where the terminal window finds it.
    void installDummy(bool exitOnTerm)
    {
        const QString path = dummy(QStringLiteral("own"), exitOnTerm);
        qputenv("PATH", QFile::encodeName(QFileInfo(path).path()) + ':' + oldPath);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite signals processes: run it in the sandbox");
    }

    void init()
    {
        dir = new QTemporaryDir();
        installDummy(false);
        // Another program's apt-get: started detached, so it is no descendant of this process.
        QVERIFY(QProcess::startDetached(dummy(QStringLiteral("outside"), false), {}, QString(), &outside));
        QTRY_VERIFY(runsAptGet(outside));
        QVERIFY(!OwnProcesses::descendantsNamed(QStringLiteral("apt-get")).contains(outside));
    }

    void cleanup()
    {
        if (outside > 0)
            ::kill(outside, SIGTERM);
        outside = 0;
        for (pid_t pid : OwnProcesses::descendantsNamed(QStringLiteral("apt-get")) +
                             OwnProcesses::descendantsNamed(QStringLiteral("sleep")))
            ::kill(pid, SIGKILL);
        QList<QPointer<FormTerminal>> windows;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (FormTerminal *terminal = qobject_cast<FormTerminal *>(w))
                windows.append(terminal);
        for (const QPointer<FormTerminal> &w : windows)
            delete w.data();
        qputenv("PATH", oldPath);
        delete dir;
    }

    void abort_data()
    {
        QTest::addColumn<TerminalCommand>("command");
        QTest::addColumn<bool>("exitOnTerm");
        QTest::addColumn<bool>("ended");
        QTest::newRow("own apt-get is ended") << RepoCommands::installCommand("x") << false << true;
        QTest::newRow("own apt-get leaving normally is reported once") << RepoCommands::updateCommand() << true << true;
        QTest::newRow("nothing of its own running changes nothing") << TerminalCommand{"sleep", {"30"}, {}} << false
                                                                    << false;
    }

    void abort()
    {
        QFETCH(TerminalCommand, command);
        QFETCH(bool, exitOnTerm);
        QFETCH(bool, ended);
        if (exitOnTerm)
            installDummy(true);
        QPointer<FormTerminal> w = new FormTerminal(command);
        QSignalSpy closed(w.data(), SIGNAL(closeTerminal()));
        const pid_t own = shellPid(w);
        QVERIFY(own > 0);
        if (command.program == QLatin1String("apt-get"))
            QTRY_VERIFY(QFile::exists(dir->filePath(QStringLiteral("own/ready"))));

        w->ButtonClose->click();
        QCOMPARE(closed.count(), ended ? 1 : 0);
        QCOMPARE(!w.isNull() && w->isVisible(), !ended);
        if (ended) {
            QTRY_VERIFY(!runsAptGet(own));
            if (exitOnTerm)
                QTRY_VERIFY(w.isNull()); // its normal end came after the abort
        } else {
            QTest::qWait(200);
            QCOMPARE(::kill(own, 0), 0);
        }
        QCOMPARE(closed.count(), ended ? 1 : 0);
        QVERIFY(runsAptGet(outside));
    }

    void endedWindowLeavesAnotherWindowsAptGet()
    {
        QPointer<FormTerminal> running = new FormTerminal(RepoCommands::updateCommand());
        QSignalSpy runningClosed(running.data(), SIGNAL(closeTerminal()));
        QPointer<FormTerminal> done = new FormTerminal({"true", {}, {}});
        QTRY_VERIFY(done.isNull()); // ended and freed
        QTest::qWait(200);
        QVERIFY(runsAptGet(shellPid(running)));
        QVERIFY(running->isVisible());
        QCOMPARE(runningClosed.count(), 0);
        QVERIFY(runsAptGet(outside));
    }
};

QTEST_MAIN(TestTerminalAbort)
#include "test_terminalabort.moc"

// The terminal window with real child processes in the sandbox's own process namespace: arguments that arrive as
// given, the header and the placing, the end of a command, one that cannot start, a close refused while it runs, and
// the abort, which ends only the apt-get this window started (a dummy apt-get comes first on the search path).
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>

#include "tests/support/support.h"

#include "app/ownprocesses.h"
#include "mainwindow/formmain.h"
#include "mainwindow/repocommands.h"
#include "terminal/commandline.h"
#include "terminal/formterminal.h"
#include "terminal/termwidget.h"
#include "terminal/termwidgetholder.h"
#include "terminal/termwidgetimpl.h"

namespace {

const QString Install = QStringLiteral("Идёт установка приложения:  <b><font color=#AA0000>");
const QString End = QStringLiteral(".</font></b>");

pid_t shellPid(FormTerminal *w) { return w->consoleTabulator->terminalHolder()->terminal()->impl()->getShellPID(); }

// True while pid runs as apt-get; one that has ended but is not yet reaped does not count.
bool runsAptGet(pid_t pid)
{
    const QByteArray stat = Support::readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const int close = stat.lastIndexOf(')');
    return stat.contains("(apt-get)") && close + 2 < stat.size() && stat.at(close + 2) != 'Z';
}

} // namespace

class TestTerminal : public QObject
{
    Q_OBJECT

    QTemporaryDir *dir = nullptr;
    const QByteArray oldPath = qgetenv("PATH");
    qint64 outside = 0; // another program's apt-get, running all along

    // A dummy apt-get, first on the search path, that runs until a signal ends it and says when it is ready; with
    // exitOnTerm it leaves normally on SIGTERM, as a real apt-get may.
    void installDummy(bool exitOnTerm)
    {
        Support::script(dir->filePath("own/apt-get"), QByteArray(exitOnTerm ? "trap 'exit 100' TERM\n" : "") +
                                                 ": > \"${0%/*}/ready\"\nwhile :; do sleep 0.1; done\n");
        qputenv("PATH", QFile::encodeName(dir->filePath("own")) + ':' + oldPath);
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
        const QString other = Support::script(dir->filePath("outside/apt-get"), "while :; do sleep 0.1; done\n");
        QVERIFY(QProcess::startDetached(other, {}, QString(), &outside)); // no descendant of this process
        QTRY_VERIFY(runsAptGet(outside));
    }

    void cleanup()
    {
        QVERIFY(runsAptGet(outside)); // whatever a case did, another program's apt-get was left alone
        ::kill(outside, SIGTERM);
        for (pid_t pid : OwnProcesses::descendantsNamed("apt-get") + OwnProcesses::descendantsNamed("sleep"))
            ::kill(pid, SIGKILL);
        QList<QPointer<QWidget>> windows;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<FormTerminal *>(w))
                windows << w;
        qDeleteAll(windows);
        qputenv("PATH", oldPath);
        delete dir;
    }

    // The header names the package, escaped, unless the command is the refresh; the window sits in the middle.
    void headerAndPlace()
    {
        QCOMPARE(CommandLine::header("apt-get update", "mc"),
                 QStringLiteral("Ждите... Выполняется команда:  <b><font color=#AA0000>apt-get update.</font></b>"));
        QCOMPARE(CommandLine::header("apt-get  update", "a<b>&"), Install + "a&lt;b&gt;&amp;" + End);
        QCOMPARE(CommandLine::geometry(1367, 769), QRect(387, 174, 592, 496)); // odd sizes drop the half pixel
    }

    // Blanks and shell syntax stay inside their argument; the window shows its header where it belongs, reports the
    // end while it is still open, then closes and frees itself, whatever the exit code.
    void argumentsAndEnd_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("exit 0") << "exit 0" << QStringList{"-y", "install", "--", "x"};
        QTest::newRow("exit 1, shell syntax") << "exit 1" << QStringList{"a b", " ;rm -rf x|y", "$(id)", "'q'", ""};
    }
    void argumentsAndEnd()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, arguments);
        const QString program = Support::script(dir->filePath("args.sh"), "printf '%s\\n' \"$#\" \"$@\" > \"${0%/*}/args.txt\"\n" + body.toUtf8());
        FormMain::instProg = "mc";
        QPointer<FormTerminal> w = new FormTerminal({program, arguments, QString()});
        QCOMPARE(w->label->text(), Install + "mc" + End);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(w->geometry(), CommandLine::geometry(screen.width(), screen.height()));
        QSignalSpy closed(w.data(), SIGNAL(closeTerminal()));
        bool openDuringSignal = false;
        connect(w.data(), &FormTerminal::closeTerminal, this, [&] { openDuringSignal = w->isVisible(); });
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(openDuringSignal);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(QString::fromUtf8(Support::readAll(dir->filePath("args.txt"))),
                 (QStringList{QString::number(arguments.size())} + arguments).join('\n') + '\n');
    }

    // Closing the window while its command runs is refused with a note: a question apt asks must stay in view.
    void closeWhileRunningIsRefused()
    {
        QPointer<FormTerminal> w = new FormTerminal({"sleep", {"1"}, QString()});
        QSignalSpy closed(w.data(), SIGNAL(closeTerminal()));
        const QString header = w->label->text();
        w->close();
        QTest::qWait(200);
        QVERIFY(w->isVisible() && closed.isEmpty() && ::kill(shellPid(w), 0) == 0);
        QCOMPARE(w->label->text(), header + CommandLine::stillRunningNote());
        QTRY_COMPARE(closed.count(), 1); // its end reaches the caller, and the window goes
        QTRY_VERIFY(w.isNull());
    }

    // The emulator would run an interactive shell in place of these: the window says so and waits for the user.
    void commandThatCannotStart_data()
    {
        QTest::addColumn<TerminalCommand>("command");
        QTest::addColumn<bool>("byButton");
        QTest::newRow("not on the search path, button") << TerminalCommand{"no-such-program-zav", {"x"}, {}} << true;
        QTest::newRow("missing absolute path") << TerminalCommand{"/nonexistent/apt-get", {"update"}, "apt-get update"} << false;
    }
    void commandThatCannotStart()
    {
        QFETCH(TerminalCommand, command);
        QPointer<FormTerminal> w = new FormTerminal(command);
        QSignalSpy closed(w.data(), SIGNAL(closeTerminal()));
        QCOMPARE(shellPid(w), 0);
        QCOMPARE(w->label->text(), CommandLine::failedHeader(command.shownText()));
        QTest::qWait(300);
        QVERIFY(w->isVisible() && closed.isEmpty());
        QFETCH(bool, byButton);
        byButton ? w->ButtonClose->click() : void(w->close());
        QCOMPARE(closed.count(), 1);
        QTRY_VERIFY(w.isNull());
    }

    void abort_data()
    {
        QTest::addColumn<TerminalCommand>("command");
        QTest::addColumn<bool>("exitOnTerm");
        QTest::addColumn<bool>("ended");
        QTest::newRow("own apt-get is ended") << RepoCommands::installCommand("x") << false << true;
        QTest::newRow("own apt-get leaving normally is reported once") << RepoCommands::updateCommand("/tmp/zv-status") << true << true;
        QTest::newRow("nothing of its own running changes nothing") << TerminalCommand{"sleep", {"30"}, {}} << false << false;
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
        if (ended) // an apt-get runs, ready for the signal
            QTRY_VERIFY(QFile::exists(dir->filePath("own/ready")));
        w->ButtonClose->click();
        QCOMPARE(closed.count(), int(ended));
        QCOMPARE(!w.isNull() && w->isVisible(), !ended);
        if (ended)
            QTRY_VERIFY(!runsAptGet(own));
        if (exitOnTerm) {
            QTRY_VERIFY(w.isNull()); // its normal end came after the abort
            QCOMPARE(Support::readAll("/tmp/zv-status"), QByteArray("100\n")); // the refresh's status, for its judge
        }
        QTest::qWait(200);
        QVERIFY(ended || ::kill(own, 0) == 0);
        QCOMPARE(closed.count(), int(ended));
    }

    // One window that ends leaves the apt-get of another still running.
    void endedWindowLeavesAnotherWindowsAptGet()
    {
        QPointer<FormTerminal> running = new FormTerminal(RepoCommands::updateCommand("/tmp/zv-status"));
        QSignalSpy runningClosed(running.data(), SIGNAL(closeTerminal()));
        QPointer<FormTerminal> done = new FormTerminal({"true", {}, {}});
        QTRY_VERIFY(done.isNull());
        QTest::qWait(200);
        QVERIFY(!OwnProcesses::descendantsNamed("apt-get").isEmpty() && running->isVisible() && runningClosed.isEmpty());
    }
};

QTEST_MAIN(TestTerminal)
#include "test_terminal.moc"

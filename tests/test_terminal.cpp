// The terminal window with real child processes in the sandbox's own process namespace, and a hidden command past its
// time, which ends with all of its process group.

#include <csignal>
#include <sys/wait.h>

#include "tests/support/support.h"

#include "app/ownprocesses.h"
#include "mainwindow/repocommands.h"
#include "terminal/commandline.h"
#include "terminal/formterminal.h"
#include "terminal/termwidget.h"
#include "terminal/termwidgetholder.h"
#include "terminal/termwidgetimpl.h"

namespace {

const QString Args = "/tmp/zv-args"; // a script that writes its arguments to Args.txt
pid_t shellPid(FormTerminal *w) { return w->consoleTabulator->terminalHolder()->terminal()->impl()->getShellPID(); }

// A child of this process with the number of pid, which has been reaped: the sandbox's own pid namespace gives the
// number after ns_last_pid to its next new process (unless another process of the sandbox comes first).
pid_t takeNumber(pid_t pid)
{
    pid_t child = 0;
    for (int attempt = 0; attempt < 50 && child != pid; ++attempt) {
        if (child > 0)
            ::kill(child, SIGKILL), ::waitpid(child, nullptr, 0);
        Support::writeFile("/proc/sys/kernel/ns_last_pid", QByteArray::number(pid - 1));
        if ((child = ::fork()) == 0)
            ::_exit(::pause());
    }
    return child;
}

} // namespace

class TestTerminal : public QObject
{
    Q_OBJECT

    qint64 outside = 0; // another program's apt-get, running all along
    pid_t reuser = 0;   // a process of ours with a killed command's number

private slots:
    // A dummy apt-get, first on the search path, that runs until a signal ends it and says when it is ready; while
    // /tmp/zv-trap exists it leaves normally on SIGTERM, as a real apt-get may.
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite signals processes: run it in the sandbox");
        Support::script(Args, "printf '%s\\n' \"$#\" \"$@\" > \"$0.txt\"\nexit \"$#\"\n"); // any exit code ends it
        Support::script("/tmp/zv-own/apt-get", "[ -e /tmp/zv-trap ] && trap 'exit 100' TERM\n: > /tmp/zv-ready\n"
                                               "while :; do sleep 0.1; done\n");
        Support::script("/tmp/zv-outside/apt-get", "while :; do sleep 0.1; done\n");
        qputenv("PATH", "/tmp/zv-own:" + qgetenv("PATH"));
    }

    void init()
    {
        QVERIFY(QProcess::startDetached("/tmp/zv-outside/apt-get", {}, QString(), &outside)); // none of ours
        QTRY_COMPARE(Support::readAll(QString("/proc/%1/comm").arg(outside)), QByteArray("apt-get\n"));
    }

    void cleanup()
    {
        QCOMPARE(::kill(outside, SIGTERM), 0); // whatever a case did, another program's apt-get was left alone
        if (reuser > 0)
            ::kill(reuser, SIGKILL), ::waitpid(reuser, nullptr, 0), reuser = 0;
        for (pid_t pid : OwnProcesses::descendantsNamed("apt-get") + OwnProcesses::descendantsNamed("sleep"))
            ::kill(pid, SIGKILL);
        QList<QPointer<QWidget>> windows;
        for (QWidget *w : QApplication::topLevelWidgets())
            windows << qobject_cast<FormTerminal *>(w);
        qDeleteAll(windows);
        for (const char *file : {"/tmp/zv-status", "/tmp/zv-trap", "/tmp/zv-ready"})
            QFile::remove(file);
    }

    // Blanks and shell syntax stay inside their argument, and the end is reported once, while the window is still
    // open, whatever the exit code; the window then closes and frees itself. The close button ends only an apt-get of
    // the window's own; while the command runs the window's close control is refused with a note (a question apt
    // asks must stay in view). An apt-get killed by someone else ends the window as well, even once its number has
    // gone to another process. A command that could not start waits for the user to close the window.
    void closing_data()
    {
        QTest::addColumn<TerminalCommand>("command");
        QTest::addColumn<QString>("how");     // the command's own end, the close button or control, a kill from outside
        QTest::addColumn<bool>("exitOnTerm"); // the dummy apt-get leaves normally on SIGTERM, as a real one may
        QTest::addColumn<bool>("ended");
        const TerminalCommand sleep{"sleep", {"30"}, {}}, install = RepoCommands::installCommand("x");
        QTest::newRow("exit 4, arguments as given") << TerminalCommand{Args, {"-y", "--", "x", "a b"}, {}} << "end" << false << true;
        QTest::newRow("exit 5, shell syntax") << TerminalCommand{Args, {" ;rm -rf x|y", "$(id)", "'q'", "", "\n"}, {}} << "end" << false << true;
        QTest::newRow("own apt-get is ended") << install << "button" << false << true;
        QTest::newRow("own apt-get leaving normally") << RepoCommands::updateCommand("/tmp/zv-status") << "button" << true << true;
        QTest::newRow("no apt-get of its own: nothing") << sleep << "button" << false << false;
        QTest::newRow("close control while it runs: a note") << sleep << "close" << false << false;
        QTest::newRow("apt-get killed by another program") << install << "kill" << false << true;
        QTest::newRow("killed, its number given to another process") << install << "reuse" << false << true;
        QTest::newRow("not on the search path, button") << TerminalCommand{"no-such-program-zav", {"x"}, {}} << "button" << false << true;
        QTest::newRow("missing path, close control") << TerminalCommand{"/nonexistent/apt-get", {"update"}, "apt-get update"}
                                                     << "close" << false << true;
    }
    void closing()
    {
        QFETCH(TerminalCommand, command);
        QFETCH(QString, how);
        QFETCH(bool, ended);
        QFETCH(bool, exitOnTerm);
        QVERIFY(!exitOnTerm || Support::writeFile("/tmp/zv-trap", ""));
        QPointer<FormTerminal> w = new FormTerminal(command);
        QSignalSpy closed(w.data(), &FormTerminal::closeTerminal);
        bool openAtEnd = false;
        connect(w.data(), &FormTerminal::closeTerminal, this, [&] { openAtEnd = w->isVisible(); });
        const pid_t own = shellPid(w);
        const QString header = w->label->text();
        QCOMPARE(header == CommandLine::failedHeader(command.shownText()), own == 0);
        QTest::qWait(own ? 0 : 300); // one that could not start waits
        QVERIFY(how == "end" || (w->isVisible() && closed.isEmpty()));
        if (own && ended && how != "end") // an apt-get runs, ready for the signal
            QTRY_VERIFY(QFile::exists("/tmp/zv-ready"));
        how == "button" ? w->ButtonClose->click() : how == "close" ? void(w->close()) : void(how == "end" || ::kill(own, SIGKILL));
        if (how == "reuse") { // once the child is reaped, and before the terminal's next look
            QTRY_VERIFY(!QFile::exists(QString("/proc/%1").arg(own)));
            QCOMPARE(reuser = takeNumber(own), own);
        }
        QTRY_COMPARE(closed.count(), int(ended));
        QCOMPARE(openAtEnd, ended);
        if (ended)
            QTRY_VERIFY(w.isNull()); // freed after its end, which is not reported again
        QTest::qWait(200);
        QCOMPARE(closed.count(), int(ended));
        QCOMPARE(ended ? Support::readAll(QString("/proc/%1/comm").arg(own)) != "apt-get\n" : ::kill(own, 0) == 0, true);
        QCOMPARE(w ? w->label->text() : header, header + (w && how == "close" ? CommandLine::stillRunningNote() : QString()));
        QCOMPARE(Support::readAll("/tmp/zv-status"), QByteArray(exitOnTerm ? "100\n" : "<unreadable>")); // for the refresh's judge
        if (how == "end")
            QCOMPARE(QString::fromUtf8(Support::readAll(Args + ".txt")), (QStringList(QString::number(command.args.size())) + command.args).join('\n') + '\n');
    }

    void hiddenCommandPastItsTime()
    {
        QCOMPARE(runProgram("sh", {"-c", "sleep 4242 | sleep 4242 & wait"}, 300).timedOut, true);
        const auto sleeping = [] { // the sleeps still running (a zombie has no command line)
            int n = 0;
            for (const QString &pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs))
                n += Support::readAll("/proc/" + pid + "/cmdline") == QByteArray("sleep\0" "4242", 11);
            return n;
        };
        QTRY_COMPARE(sleeping(), 0);
    }
};

QTEST_MAIN(TestTerminal)
#include "test_terminal.moc"

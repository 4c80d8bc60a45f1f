// The terminal window with real child processes in the sandbox's pid namespace; a hidden command past its time.

#include <csignal>
#include <sys/wait.h>

#include "tests/support/support.h"

#include "mainwindow/aptcommands.h"
#include "terminal/terminaltexts.h"
#include "terminal/formterminal.h"
#include "terminal/termwidget.h"
#include "terminal/termwidgetholder.h"
#include "terminal/termwidgetimpl.h"

using Support::fetch;

namespace {

pid_t shellPid(FormTerminal *w) { return w->consoleTabulator->terminalHolder()->terminal()->impl()->getShellPID(); }

// A child of ours numbered as pid, once reaped: the sandbox's pid namespace numbers its next process ns_last_pid + 1.
pid_t takeNumber(pid_t pid)
{
    pid_t child = 0;
    for (int attempt = 0; attempt < 50 && child != pid; ++attempt) {
        if (child > 0) ::kill(child, SIGKILL), ::waitpid(child, nullptr, 0); // another process came first
        Support::writeFile("/proc/sys/kernel/ns_last_pid", QByteArray::number(pid - 1));
        if ((child = ::fork()) == 0) ::_exit(::sleep(3)); // outlives any wait below, then stays a zombie
    }
    return child;
}

} // namespace

class TestTerminal : public QObject
{
    Q_OBJECT

    qint64 outside = 0; // another program's apt-get, running all along

private slots:
    void initTestCase() // a dummy apt-get first on the search path runs until a signal ends it (or, with zv-trap, SIGTERM)
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite signals processes: run it in the sandbox");
        Support::script("/tmp/zv-args", "printf '%s\\n' \"$#\" \"$@\" > \"$0.txt\"\nexit \"$#\"\n"); // any exit code ends it
        Support::script("/tmp/zv-own/apt-get", "[ -e /tmp/zv-trap ] && trap 'exit 100' TERM\n: > /tmp/zv-ready\n"
                                               "while :; do sleep 0.1; done\n");
        Support::script("/tmp/zv-outside/apt-get", "while :; do sleep 0.1; done\n");
        qputenv("PATH", "/tmp/zv-own:" + qgetenv("PATH"));
        QVERIFY(QProcess::startDetached("/tmp/zv-outside/apt-get", {}, QString(), &outside)); // none of ours
        QTRY_COMPARE(Support::readAll(QString("/proc/%1/comm").arg(outside)), QByteArray("apt-get\n"));
    }

    void cleanup() // whatever a case did, another program's apt-get still runs (not ended, not a zombie)
    {
        QCOMPARE(Support::readAll(QString("/proc/%1/stat").arg(outside)).contains("(apt-get) Z"), false);
        QCOMPARE(::kill(outside, 0), 0);
        for (const char *file : {"/tmp/zv-r/status", "/tmp/zv-trap", "/tmp/zv-ready"})
            QFile::remove(file);
    }

    // The end is reported once, whatever ends the command; the button ends only its own apt-get.
    void closing_data()
    {
        QTest::addColumn<TerminalCommand>("command");
        QTest::addColumn<QString>("how");     // the command's own end, the close button or control, a kill from outside
        QTest::addColumn<bool>("exitOnTerm"); // the dummy apt-get leaves normally on SIGTERM, as a real one may
        QTest::addColumn<bool>("ended");
        const TerminalCommand sleep{"sleep", {"30"}, {}}, install = AptCommands::installCommand("x");
        QTest::newRow("exit 7, blanks and shell syntax") << TerminalCommand{"/tmp/zv-args", {"-y", "a b", " ;rm x|y", "$(id)", "'q'", "", "\n"}, {}} << "end" << false << true;
        QTest::newRow("own apt-get is ended") << install << "button" << false << true;
        QTest::newRow("own apt-get leaving normally") << (QDir().mkpath("/tmp/zv-r"), AptCommands::updateCommand("/tmp/zv-r")) << "button" << true << true;
        QTest::newRow("no apt-get of its own: nothing") << sleep << "button" << false << false;
        QTest::newRow("close control while it runs: a note") << sleep << "close" << false << false;
        QTest::newRow("apt-get killed by another program") << install << "kill" << false << true;
        QTest::newRow("killed, its number given to another process") << install << "reuse" << false << true;
        QTest::newRow("missing path, close control") << TerminalCommand{"/nonexistent/apt-get", {"update"}, "apt-get update"}
                                                     << "close" << false << true;
    }
    void closing()
    {
        QFETCH(TerminalCommand, command);
        QFETCH(QString, how);
        QFETCH(bool, ended);
        QVERIFY(!fetch<bool>("exitOnTerm") || Support::writeFile("/tmp/zv-trap", ""));
        QPointer<FormTerminal> w = new FormTerminal(command);
        QSignalSpy closed(w.data(), &FormTerminal::closeTerminal);
        const pid_t own = shellPid(w);
        const QString header = w->label->text();
        QCOMPARE(header == TerminalTexts::failedHeader(command.shownText()), own == 0);
        QTest::qWait(own ? 0 : 300); // one that could not start waits
        QVERIFY(how == "end" || (w->isVisible() && closed.isEmpty()));
        QTRY_VERIFY(!fetch<bool>("exitOnTerm") || QFile::exists("/tmp/zv-ready")); // its trap is set
        how == "button" ? w->ButtonClose->click() : how == "close" ? void(w->close()) : void(how == "end" || ::kill(own, SIGKILL));
        QTRY_VERIFY(how != "reuse" || !QFile::exists(QString("/proc/%1").arg(own))); // reaped; the terminal has not
        QVERIFY(how != "reuse" || takeNumber(own) == own);                             // looked since, mostly
        QTRY_COMPARE(closed.count(), int(ended));
        QTRY_COMPARE(w.isNull(), ended); // freed after its end, which is not reported again
        QTest::qWait(200);
        QCOMPARE(closed.count(), int(ended));
        QCOMPARE(ended ? Support::readAll(QString("/proc/%1/comm").arg(own)) != "apt-get\n" : ::kill(own, 0) == 0, true);
        QCOMPARE(w ? w->label->text() : header, header + (w && how == "close" ? TerminalTexts::stillRunningNote() : QString()));
        QCOMPARE(Support::readAll("/tmp/zv-r/status"), QByteArray(fetch<bool>("exitOnTerm") ? "100\n" : "<unreadable>")); // for the refresh's judge
        if (how == "end")
            QCOMPARE(QString::fromUtf8(Support::readAll("/tmp/zv-args.txt")), (QStringList(QString::number(command.args.size())) + command.args).join('\n') + '\n');
        delete w;
    }

    void hiddenCommandPastItsTime()
    {
        QCOMPARE(runProgram("sh", {"-c", "sleep 4242 | sleep 4242 & wait"}, 300).timedOut, true);
        QTRY_COMPARE(runProgram("pgrep", {"-xf", "sleep 4242"}).out, QByteArray()); // an ended one no longer matches
    }
};

QTEST_MAIN(TestTerminal)
#include "test_terminal.moc"

// The terminal window with real child processes in the sandbox's own process namespace: arguments that arrive as
// given, the end of a command, one that cannot start, a close refused while it runs, one killed from outside, and the
// abort, which ends only the apt-get this program started (a dummy apt-get comes first on the search path).

#include <csignal>

#include "tests/support/support.h"

#include "app/ownprocesses.h"
#include "mainwindow/formmain.h"
#include "mainwindow/aptcommands.h"
#include "terminal/commandline.h"
#include "terminal/formterminal.h"
#include "terminal/termwidget.h"
#include "terminal/termwidgetholder.h"
#include "terminal/termwidgetimpl.h"

namespace {

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
        QFile::remove("/tmp/zv-status");
        delete dir;
    }

    // Blanks and shell syntax stay inside their argument; the window reports the end while it is still open, then
    // closes and frees itself, whatever the exit code.
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
        QPointer<FormTerminal> w = new FormTerminal({program, arguments, QString()});
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

    // The close button ends only an apt-get of the window's own, and the end is reported once; while the command
    // runs the window's close control is refused with a note (a question apt asks must stay in view). An apt-get
    // killed by someone else ends the window as well. A command that could not start (the emulator would run an
    // interactive shell instead) waits for the user to close the window.
    void closing_data()
    {
        QTest::addColumn<TerminalCommand>("command");
        QTest::addColumn<QString>("how");     // the close button, the window's close control, or a kill from outside
        QTest::addColumn<bool>("exitOnTerm"); // the dummy apt-get leaves normally on SIGTERM, as a real one may
        QTest::addColumn<bool>("ended");
        const TerminalCommand sleep{"sleep", {"30"}, {}};
        const TerminalCommand install = AptCommands::installCommand("x");
        QTest::newRow("own apt-get is ended") << install << "button" << false << true;
        QTest::newRow("own apt-get leaving normally") << (QDir().mkpath("/tmp/zv-r"), AptCommands::updateCommand("/tmp/zv-r")) << "button" << true << true;
        QTest::newRow("no apt-get of its own: nothing") << sleep << "button" << false << false;
        QTest::newRow("close control while it runs: a note") << sleep << "close" << false << false;
        QTest::newRow("apt-get killed by another program") << install << "kill" << false << true;
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
        if (exitOnTerm)
            installDummy(true);
        QPointer<FormTerminal> w = new FormTerminal(command);
        QSignalSpy closed(w.data(), SIGNAL(closeTerminal()));
        const pid_t own = shellPid(w);
        const QString header = w->label->text();
        QCOMPARE(header == CommandLine::failedHeader(command.shownText()), own == 0);
        QTest::qWait(own ? 0 : 300); // one that could not start waits
        QVERIFY(w->isVisible() && closed.isEmpty());
        if (own && ended) // an apt-get runs, ready for the signal
            QTRY_VERIFY(QFile::exists(dir->filePath("own/ready")));
        how == "button" ? w->ButtonClose->click() : how == "close" ? void(w->close()) : void(::kill(own, SIGKILL));
        QTRY_COMPARE(closed.count(), int(ended));
        QCOMPARE(!w.isNull() && w->isVisible(), !ended);
        if (ended)
            QTRY_VERIFY(w.isNull()); // freed after its end, which is not reported again
        QTest::qWait(200);
        QVERIFY(ended ? !runsAptGet(own) : ::kill(own, 0) == 0);
        QCOMPARE(closed.count(), int(ended));
        QCOMPARE(w ? w->label->text() : header, header + (w && how == "close" ? CommandLine::stillRunningNote() : QString()));
        QCOMPARE(Support::readAll("/tmp/zv-r/status"), QByteArray(exitOnTerm ? "100\n" : "<unreadable>")); // for the refresh's judge
        QFile::remove("/tmp/zv-r/status");
    }
};

QTEST_MAIN(TestTerminal)
#include "test_terminal.moc"

// The terminal window offscreen with real child processes: arguments that arrive as given, the header, the placing, the end of
// a command and a command that cannot be started.
#include <QFile>
#include <QScreen>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include "mainwindow/formmain.h"
#include "terminal/commandline.h"
#include "terminal/formterminal.h"
#include "terminal/termwidget.h"
#include "terminal/termwidgetholder.h"
#include "terminal/termwidgetimpl.h"

namespace {

int shellPid(FormTerminal *w) { return w->consoleTabulator->terminalHolder()->terminal()->impl()->getShellPID(); }

const QString Install = QStringLiteral("Идёт установка приложения:  <b><font color=#AA0000>");
const QString End = QStringLiteral(".</font></b>");

} // namespace

class TestTerminal : public QObject
{
    Q_OBJECT

    QTemporaryDir *dir = nullptr;

    // A program that writes its argument count and arguments, one a line, to args.txt beside it.
    QString argsScript() const
    {
        const QString path = dir->filePath(QStringLiteral("args.sh"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"${0%/*}/args.txt\"\n");
        f.setPermissions(f.permissions() | QFile::ExeOwner);
        return path;
    }

private slots:
    void init() { dir = new QTemporaryDir(); }
    void cleanup() { delete dir; }

    void header_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("instProg");
        QTest::addColumn<QString>("header");
        QTest::newRow("update") << "apt-get update" << "mc"
                                << QStringLiteral("Ждите... Выполняется команда:  <b><font color=#AA0000>apt-get "
                                                  "update.</font></b>");
        QTest::newRow("install names instProg, not the command") << "apt-get -y install -- vlc" << "mc"
                                                                 << Install + "mc" + End;
        QTest::newRow("empty instProg") << "apt-get -y install -- vlc" << "" << Install + End;
        QTest::newRow("update with two blanks is another command") << "apt-get  update" << "mc"
                                                                   << Install + "mc" + End;
        QTest::newRow("markup in a name is shown as text") << "x" << "a<b>&" << Install + "a&lt;b&gt;&amp;" + End;
    }

    void header()
    {
        QFETCH(QString, command);
        QFETCH(QString, instProg);
        QFETCH(QString, header);
        QCOMPARE(CommandLine::header(command, instProg), header);
    }

    void geometry_data()
    {
        QTest::addColumn<QSize>("desktop");
        QTest::addColumn<QRect>("window");
        QTest::newRow("1920 x 1080") << QSize(1920, 1080) << QRect(664, 330, 592, 496);
        QTest::newRow("odd sizes drop the half pixel") << QSize(1367, 769) << QRect(387, 174, 592, 496);
    }

    void geometry()
    {
        QFETCH(QSize, desktop);
        QFETCH(QRect, window);
        QCOMPARE(CommandLine::geometry(desktop.width(), desktop.height()), window);
    }

    void windowShowsHeaderAndSitsOnTheDesktop()
    {
        FormMain::instProg = QStringLiteral("mc");
        QPointer<FormTerminal> w = new FormTerminal({"sleep", {"0.3"}, QString()});
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QString(31, QLatin1Char(' ')) + QStringLiteral("ТЕРМИНАЛ  ПРОГРАММЫ"));
        QCOMPARE(w->label->text(), Install + "mc" + End);
        QCOMPARE(w->ButtonClose->text(), QStringLiteral("Прервать"));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(w->geometry(), CommandLine::geometry(screen.width(), screen.height()));
        QTRY_VERIFY(w.isNull()); // ends, closes and frees itself
    }

    void argumentsReachTheProgram_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("install arguments") << QStringList{"-y", "install", "--", "x"};
        QTest::newRow("blanks and shell syntax stay inside one argument")
            << QStringList{"a b", " ;rm -rf x|y", "$(id)", "'q'"};
        QTest::newRow("no arguments") << QStringList();
    }

    void argumentsReachTheProgram()
    {
        QFETCH(QStringList, arguments);
        QPointer<FormTerminal> w = new FormTerminal({argsScript(), arguments, QString()});
        QSignalSpy closed(w.data(), SIGNAL(closeTerminal()));
        QTRY_COMPARE(closed.count(), 1);
        QFile f(dir->filePath(QStringLiteral("args.txt")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 QStringList{QString::number(arguments.size())} + arguments);
    }

    void endOfCommand_data()
    {
        QTest::addColumn<TerminalCommand>("command");
        QTest::newRow("exit code 0") << TerminalCommand{"true", {}, {}};
        QTest::newRow("exit code 1") << TerminalCommand{"false", {}, {}};
        QTest::newRow("exit code 2 with arguments") << TerminalCommand{"ls", {"/no-such-folder-zav"}, {}};
    }

    void endOfCommand()
    {
        QFETCH(TerminalCommand, command);
        QPointer<FormTerminal> w = new FormTerminal(command);
        QSignalSpy closed(w.data(), SIGNAL(closeTerminal()));
        bool openDuringSignal = false;
        connect(w.data(), &FormTerminal::closeTerminal, this, [&] { openDuringSignal = w->isVisible(); });
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(openDuringSignal); // the caller continues while the window is still open
        QVERIFY(!w || !w->isVisible());
        QTRY_VERIFY(w.isNull());
        QCOMPARE(closed.count(), 1);
    }

    // Closing the window while its command runs is refused with a note: a question apt asks must stay in view.
    void closeWhileRunningIsRefused()
    {
        QPointer<FormTerminal> w = new FormTerminal({"sleep", {"1"}, QString()});
        QSignalSpy closed(w.data(), SIGNAL(closeTerminal()));
        const QString header = w->label->text();
        const pid_t pid = shellPid(w);
        w->close();
        QTest::qWait(200);
        QVERIFY(w->isVisible());
        QCOMPARE(w->label->text(), header + CommandLine::stillRunningNote());
        QCOMPARE(::kill(pid, 0), 0);
        QCOMPARE(closed.count(), 0);
        QTRY_COMPARE(closed.count(), 1); // its end reaches the caller, and the window goes
        QTRY_VERIFY(w.isNull());
    }

    void commandThatCannotStart_data()
    {
        QTest::addColumn<TerminalCommand>("command");
        QTest::addColumn<bool>("byButton");
        const TerminalCommand missing{"no-such-program-zav", {"install", "x"}, {}};
        QTest::newRow("not on the search path, window closed") << missing << false;
        QTest::newRow("not on the search path, button") << missing << true;
        QTest::newRow("file that is not executable") << TerminalCommand{"/etc/passwd", {}, {}} << false;
        // The emulator would run an interactive shell in place of these.
        QTest::newRow("missing absolute path") << TerminalCommand{"/nonexistent/apt-get", {"update"}, "apt-get update"}
                                               << false;
        QTest::newRow("no program") << TerminalCommand{"", {}, {}} << true;
    }

    void commandThatCannotStart()
    {
        QFETCH(TerminalCommand, command);
        QFETCH(bool, byButton);
        QPointer<FormTerminal> w = new FormTerminal(command);
        QSignalSpy closed(w.data(), SIGNAL(closeTerminal()));
        QCOMPARE(shellPid(w), 0);
        QCOMPARE(w->label->text(), CommandLine::failedHeader(command.shownText()));
        QTest::qWait(300);
        QVERIFY(w->isVisible()); // stays open for the user to read
        QCOMPARE(closed.count(), 0);
        if (byButton)
            w->ButtonClose->click();
        else
            w->close();
        QCOMPARE(closed.count(), 1);
        QTRY_VERIFY(w.isNull());
    }
};

QTEST_MAIN(TestTerminal)
#include "test_terminal.moc"

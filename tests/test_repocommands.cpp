// The window-free half of the repository preparation and the check: argument lists, the literal sources.list
// edit, key files, the refresh question and the reading of apt's error output.
#include <QtTest>

#include "mainwindow/repocommands.h"

using namespace RepoCommands;

class TestRepoCommands : public QObject
{
    Q_OBJECT

private slots:
    // Whatever a catalogue field holds, it is one argument, the last, after "--".
    void dataIsOneArgumentAfterDoubleDash_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("apt option") << QStringLiteral("-oAPT::Update::Pre-Invoke::=touch /tmp/x");
        QTest::newRow("shell") << QStringLiteral("x; reboot $(id) `id` | tee > /tmp/y \"'");
        QTest::newRow("newline") << QStringLiteral("a\nb");
    }
    void dataIsOneArgumentAfterDoubleDash()
    {
        QFETCH(QString, field);
        for (const QStringList &args :
             {ppaArgs(field), keyDownloadArgs(field), simulateArgs({field}), installCommand(field).args}) {
            QCOMPARE(args.last(), field);
            QCOMPARE(args.at(args.size() - 2), QStringLiteral("--"));
            QCOMPARE(args.count(field), 1);
        }
        const QStringList pipe = keyPipeArgs(field); // a fixed script; the URL is its first positional parameter
        QCOMPARE(pipe.size(), 4);
        QVERIFY(!pipe.at(1).contains(field));
        QCOMPARE(pipe.at(3), field);
    }

    // The runs that take the package manager's lock wait for it and never ask about configuration files; nothing
    // forces apt past its own safety checks.
    void terminalCommandsWaitAndKeepConfiguration()
    {
        for (const TerminalCommand &command : {installCommand(QStringLiteral("vlc")), updateCommand()}) {
            QCOMPARE(command.program, QStringLiteral("apt-get"));
            const QString joined = command.args.join(QLatin1Char(' '));
            for (const char *option : {"-o DPkg::Lock::Timeout=600", "-o Dpkg::Options::=--force-confdef",
                                       "-o Dpkg::Options::=--force-confold"})
                QVERIFY2(joined.contains(QLatin1String(option)), qPrintable(joined));
            QVERIFY(!joined.contains(QStringLiteral("force-yes")));
        }
        QCOMPARE(updateCommand().shownText(), QStringLiteral("apt-get update"));
    }

    void editSourcesList_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("expected");
        const QString line = QStringLiteral("deb http://repo.example.org/apt stable main");
        QTest::newRow("empty file") << QByteArray() << line << line.toUtf8() + '\n';
        QTest::newRow("earlier copy, commented copy, longer line go; others stay in order")
            << QByteArray("a\n" + line.toUtf8() + "\n\n# " + line.toUtf8() + "\nb\n" + line.toUtf8() + " contrib\n")
            << line << QByteArray("a\n\nb\n" + line.toUtf8() + '\n');
        QTest::newRow("last line without its line break")
            << QByteArray("deb http://a/ x main") << line << QByteArray("deb http://a/ x main\n" + line.toUtf8() + '\n');
        // As a pattern "[arch=amd64]" would be one character of a set and "." any character.
        QTest::newRow("brackets and dots are literal")
            << QByteArray("deb a http://hXexample/ s main\n") << QStringLiteral("deb [arch=amd64] http://h.example/ s main")
            << QByteArray("deb a http://hXexample/ s main\ndeb [arch=amd64] http://h.example/ s main\n");
        QTest::newRow("slashes and non-latin text") << QByteArray("# Зеркало\ndeb file:/srv/repo ./\n")
                                                   << QStringLiteral("deb file:/srv/repo ./")
                                                   << QByteArray("# Зеркало\ndeb file:/srv/repo ./\n");
    }
    void editSourcesList()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, line);
        QFETCH(QByteArray, expected);
        const QByteArray once = RepoCommands::editSourcesList(content, line);
        QCOMPARE(once, expected);
        QCOMPARE(RepoCommands::editSourcesList(once, line), expected); // a later run: still one copy, at the end
    }

    void sourcesEntryProblem_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("rejected");
        QTest::newRow("ordinary, leading blank") << QStringLiteral(" deb http://a/ x main") << false;
        QTest::newRow("source, several components") << QStringLiteral("deb-src https://a/b x main contrib") << false;
        QTest::newRow("options block with blanks") << QStringLiteral("deb [ arch=amd64 signed-by=/k.gpg ] http://a/ x main")
                                                   << false;
        QTest::newRow("flat repository") << QStringLiteral("deb [trusted=yes] file:/srv/repo ./") << false;
        QTest::newRow("a single word deletes most of the file") << QStringLiteral("main") << true;
        QTest::newRow("only the type") << QStringLiteral("deb") << true;
        QTest::newRow("no components") << QStringLiteral("deb http://a/ x") << true;
        QTest::newRow("components after an exact path") << QStringLiteral("deb file:/srv ./ main") << true;
        QTest::newRow("no scheme") << QStringLiteral("deb a.example/ubuntu x main") << true;
        QTest::newRow("unclosed options") << QStringLiteral("deb [trusted=yes http://a/ x main") << true;
        QTest::newRow("another type") << QStringLiteral("rpm http://a/ x main") << true;
        QTest::newRow("line break") << QStringLiteral("deb http://a/ x main\ndeb http://evil/ y main") << true;
        QTest::newRow("carriage return") << QStringLiteral("deb http://a/ x main\r") << true;
        QTest::newRow("blanks only: would delete nearly every line") << QStringLiteral("   ") << true;
    }
    void sourcesEntryProblem()
    {
        QFETCH(QString, line);
        QFETCH(bool, rejected);
        QCOMPARE(!RepoCommands::sourcesEntryProblem(line).isEmpty(), rejected);
    }

    void keyFiles_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("name");
        const QByteArray armored("\r\n-----BEGIN PGP PUBLIC KEY BLOCK-----\n\nmQINB...\n");
        QTest::newRow("armored") << armored << QStringLiteral("https://dl.example.com/keys/release.gpg")
                                 << QStringLiteral("zaviron-dl.example.com-release.asc");
        QTest::newRow("binary, old packet format") << QByteArray("\x99\x01\x0d\x04", 4)
                                                   << QStringLiteral("http://127.0.0.1:8000/signing_key.pub?x=1")
                                                   << QStringLiteral("zaviron-127.0.0.1-signing_key.gpg");
        QTest::newRow("binary, new packet format, no file name")
            << QByteArray("\xc6\x33\x04", 3) << QStringLiteral("http://h.example/") << QStringLiteral("zaviron-h.example-key.gpg");
        QTest::newRow("characters apt refuses") << armored << QStringLiteral("http://h.example/a%20b$(id).key")
                                                << QStringLiteral("zaviron-h.example-a_b__id_.asc");
        QTest::newRow("error page") << QByteArray("<html>404</html>") << QStringLiteral("http://h/k.asc") << QString();
        QTest::newRow("armored message") << QByteArray("-----BEGIN PGP MESSAGE-----\n") << QStringLiteral("http://h/k")
                                         << QString();
        QTest::newRow("empty") << QByteArray() << QStringLiteral("http://h/k.asc") << QString();
    }
    void keyFiles()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, url);
        QFETCH(QString, name);
        const KeyKind kind = keyKind(data);
        QCOMPARE(kind == NotAKey, name.isEmpty());
        QCOMPARE(keyFileName(url, kind), name);
    }

    void updateQuestionNamesEachPackageOnce()
    {
        QVERIFY(updateQuestion({}).contains(QStringLiteral("не выявила необходимости")));
        const QString question = updateQuestion({QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("b")});
        QVERIFY2(question.contains(QStringLiteral("<font color=#AA0000>b, a </font></b>")), qPrintable(question));
    }

    // apt is judged by its exit status; its reason is the first "E:" line. The summary rewords one known message.
    void simulationFailure_data()
    {
        QTest::addColumn<int>("exitCode"); // -1: ended by a signal, -2: not started, -3: timed out
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<QString>("reason");
        QTest::newRow("exit 0, warnings only: installable") << 0 << QByteArray("W: a warning\n") << QString();
        QTest::newRow("exit 0, nothing") << 0 << QByteArray() << QString();
        QTest::newRow("the first E: line after warnings, no CR")
            << 100 << QByteArray("W: w\nE: Unable to locate package x\r\nE: second\n")
            << QStringLiteral("E: Unable to locate package x");
        QTest::newRow("no E: line: exit code and first line") << 100 << QByteArray("\r\nsomething odd\n")
                                                               << QStringLiteral("код завершения 100: something odd");
        QTest::newRow("silent failure names the exit code") << 1 << QByteArray() << QStringLiteral("код завершения 1");
        QTest::newRow("ended by a signal") << -1 << QByteArray() << QStringLiteral("программа завершилась аварийно");
        QTest::newRow("not started") << -2 << QByteArray() << QStringLiteral("E: Не удалось запустить apt-get.");
        QTest::newRow("timed out") << -3 << QByteArray() << QStringLiteral("E: нет ответа за 30 с");
        QTest::newRow("held broken packages, reworded")
            << 100 << QStringLiteral("E: Невозможно исправить ошибки, у вас отложены (held) битые пакеты.\n").toUtf8()
            << QStringLiteral("E: Пакеты для установки имеют неудовлетворённые зависимости.");
    }
    void simulationFailure()
    {
        QFETCH(int, exitCode);
        QFETCH(QByteArray, err);
        QFETCH(QString, reason);
        ProcessResult result;
        result.started = exitCode != -2;
        result.timedOut = exitCode == -3;
        result.finished = exitCode >= 0;
        result.exitCode = exitCode >= 0 ? exitCode : -1;
        result.err = err;
        QCOMPARE(summaryLine(RepoCommands::simulationFailure(result)), reason);
    }
};

QTEST_APPLESS_MAIN(TestRepoCommands)
#include "test_repocommands.moc"

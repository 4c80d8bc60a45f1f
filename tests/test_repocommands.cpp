// The window-free half of the repository preparation and the check: argument lists, the literal sources.list
// edit, key files, the question texts and the reading of apt's error output.
#include <QtTest>

#include "mainwindow/repocommands.h"

using namespace RepoCommands;

class TestRepoCommands : public QObject
{
    Q_OBJECT

private slots:
    // Whatever a catalogue field holds, it is one argument after "--" and the last one: no option, no second word.
    void dataIsOneArgumentAfterDoubleDash_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << QStringLiteral("ppa:team/stable");
        QTest::newRow("apt option") << QStringLiteral("-oAPT::Update::Pre-Invoke::=touch /tmp/x");
        QTest::newRow("shell") << QStringLiteral("x; reboot $(id) `id` | tee > /tmp/y");
        QTest::newRow("quotes") << QStringLiteral("a\"b'c");
        QTest::newRow("newline") << QStringLiteral("a\nb");
        QTest::newRow("empty") << QString();
    }
    void dataIsOneArgumentAfterDoubleDash()
    {
        QFETCH(QString, field);
        const QList<QStringList> lists{ppaArgs(field), keyDownloadArgs(field), simulateArgs(field)};
        for (const QStringList &args : lists) {
            QCOMPARE(args.last(), field);
            QCOMPARE(args.at(args.size() - 2), QStringLiteral("--"));
            QCOMPARE(args.count(field), 1);
        }
        // The key pipe is a fixed script; the URL is its first positional parameter, never part of the script.
        const QStringList pipe = keyPipeArgs(field);
        QCOMPARE(pipe.size(), 4);
        QCOMPARE(pipe.at(0), QStringLiteral("-c"));
        QVERIFY(!pipe.at(1).contains(field) || field.isEmpty());
        QCOMPARE(pipe.at(3), field);
    }

    void editSourcesList_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("expected");
        const QString line = QStringLiteral("deb http://repo.example.org/apt stable main");
        QTest::newRow("empty file") << QByteArray() << line << QByteArray("deb http://repo.example.org/apt stable main\n");
        QTest::newRow("others kept in order")
            << QByteArray("deb http://a/ x main\n# comment\n\ndeb http://b/ y main\n") << line
            << QByteArray("deb http://a/ x main\n# comment\n\ndeb http://b/ y main\n"
                          "deb http://repo.example.org/apt stable main\n");
        QTest::newRow("copy of an earlier run, commented copy, longer line")
            << QByteArray("deb http://repo.example.org/apt stable main\nkeep\n"
                          "# deb http://repo.example.org/apt stable main\n"
                          "deb http://repo.example.org/apt stable main contrib\n")
            << line << QByteArray("keep\ndeb http://repo.example.org/apt stable main\n");
        QTest::newRow("last line without its line break")
            << QByteArray("deb http://a/ x main") << line
            << QByteArray("deb http://a/ x main\ndeb http://repo.example.org/apt stable main\n");
        // Read as a pattern, "[arch=amd64]" is one character out of a set and "." any character: both would delete
        // lines that merely resemble the entry.
        QTest::newRow("brackets are literal")
            << QByteArray("deb a http://h.example/ s main\n") << QStringLiteral("deb [arch=amd64] http://h.example/ s main")
            << QByteArray("deb a http://h.example/ s main\ndeb [arch=amd64] http://h.example/ s main\n");
        QTest::newRow("dot and star are literal")
            << QByteArray("deb http://hXexample/ s main\ndeb http://h.example/ s mainnn\n")
            << QStringLiteral("deb http://h.example/ s main*")
            << QByteArray("deb http://hXexample/ s main\ndeb http://h.example/ s mainnn\ndeb http://h.example/ s main*\n");
        QTest::newRow("slashes need no escaping")
            << QByteArray("deb file:/srv/repo ./\n") << QStringLiteral("deb file:/srv/repo ./")
            << QByteArray("deb file:/srv/repo ./\n");
        QTest::newRow("non-latin text survives")
            << QByteArray("# Репозиторий\n") << QStringLiteral("deb http://зеркало.example/ s main")
            << QByteArray("# Репозиторий\ndeb http://зеркало.example/ s main\n");
    }
    void editSourcesList()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, line);
        QFETCH(QByteArray, expected);
        const QByteArray once = RepoCommands::editSourcesList(content, line);
        QCOMPARE(once, expected);
        // A second check (a later run) leaves exactly the same file: one copy, at the end.
        QCOMPARE(RepoCommands::editSourcesList(once, line), expected);
    }

    void sourcesLineProblem_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("rejected");
        QTest::newRow("ordinary") << QStringLiteral("deb http://a/ x main") << false;
        QTest::newRow("line break") << QStringLiteral("deb http://a/ x main\ndeb http://evil/ y main") << true;
        QTest::newRow("carriage return") << QStringLiteral("deb http://a/ x main\r") << true;
        QTest::newRow("blanks only") << QStringLiteral("   ") << true; // would match, and delete, nearly every line
        QTest::newRow("leading blank") << QStringLiteral(" deb http://a/ x main") << false;
    }
    void sourcesLineProblem()
    {
        QFETCH(QString, line);
        QFETCH(bool, rejected);
        const QString problem = RepoCommands::sourcesLineProblem(line);
        QCOMPARE(!problem.isEmpty(), rejected);
        if (rejected)
            QVERIFY(problem.contains(line));
    }

    void keyKind_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("kind");
        QTest::newRow("armored") << QByteArray("-----BEGIN PGP PUBLIC KEY BLOCK-----\n\nmQINB...\n") << int(ArmoredKey);
        QTest::newRow("armored after blank lines") << QByteArray("\r\n \n-----BEGIN PGP PUBLIC KEY BLOCK-----\n")
                                                   << int(ArmoredKey);
        QTest::newRow("binary, old packet format") << QByteArray("\x99\x01\x0d\x04", 4) << int(BinaryKey);
        QTest::newRow("binary, new packet format") << QByteArray("\xc6\x33\x04", 3) << int(BinaryKey);
        QTest::newRow("error page") << QByteArray("<html><body>404</body></html>") << int(NotAKey);
        QTest::newRow("armored message, not a key") << QByteArray("-----BEGIN PGP MESSAGE-----\n") << int(NotAKey);
        QTest::newRow("signature packet") << QByteArray("\x89\x01\x33", 3) << int(NotAKey);
        QTest::newRow("empty") << QByteArray() << int(NotAKey);
    }
    void keyKind()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, kind);
        QCOMPARE(int(RepoCommands::keyKind(data)), kind);
    }

    void keyFileName_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("armored .asc") << QStringLiteral("https://download.example.com/keys/release.asc") << int(ArmoredKey)
                                      << QStringLiteral("download.example.com-release.asc");
        QTest::newRow("binary .gpg") << QStringLiteral("https://download.example.com/keys/release.gpg") << int(BinaryKey)
                                     << QStringLiteral("download.example.com-release.gpg");
        QTest::newRow("armored behind .gpg") << QStringLiteral("http://h.example/k.gpg") << int(ArmoredKey)
                                             << QStringLiteral("h.example-k.asc");
        QTest::newRow("no extension, port") << QStringLiteral("http://127.0.0.1:8000/linux_signing_key.pub?x=1")
                                            << int(ArmoredKey) << QStringLiteral("127.0.0.1-linux_signing_key.asc");
        QTest::newRow("no file name") << QStringLiteral("http://h.example/") << int(BinaryKey)
                                      << QStringLiteral("h.example-key.gpg");
        QTest::newRow("characters apt refuses") << QStringLiteral("http://h.example/a%20b$(id).key") << int(ArmoredKey)
                                                << QStringLiteral("h.example-a_b__id_.asc");
        QTest::newRow("no key") << QStringLiteral("http://h.example/k.asc") << int(NotAKey) << QString();
    }
    void keyFileName()
    {
        QFETCH(QString, url);
        QFETCH(int, kind);
        QFETCH(QString, name);
        const QString got = RepoCommands::keyFileName(url, KeyKind(kind));
        QCOMPARE(got, name);
        QVERIFY(!got.contains(QLatin1Char('/')));
    }

    void updateQuestion_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("question");
        const QString need = QStringLiteral("    Для возможности установки <b><font color=#AA0000>%1 </font></b>требуется "
                                            "обновление источников ПО. Без этого их установка под вопросом. "
                                            "Запустить обновление источников ПО?");
        QTest::newRow("none") << QStringList()
                              << QStringLiteral("    Проверка списка программ не выявила необходимости обновления "
                                                "источников ПО. Запустить всё же обновление данных о репозиториях "
                                                "или нет?");
        QTest::newRow("one") << QStringList{QStringLiteral("code")} << need.arg(QStringLiteral("code"));
        QTest::newRow("duplicates named once, in order")
            << QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")}
            << need.arg(QStringLiteral("b, a"));
    }
    void updateQuestion()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, question);
        QCOMPARE(RepoCommands::updateQuestion(names), question);
    }

    void errorOutput_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("summary");
        QTest::newRow("nothing: installable") << QByteArray() << QString() << QString();
        QTest::newRow("empty first line: installable") << QByteArray("\nE: later\n") << QString() << QString();
        QTest::newRow("first line only") << QByteArray("E: Unable to locate package zv\nE: second\n")
                                         << QStringLiteral("E: Unable to locate package zv")
                                         << QStringLiteral("E: Unable to locate package zv");
        QTest::newRow("no final line break") << QByteArray("E: x") << QStringLiteral("E: x") << QStringLiteral("E: x");
        QTest::newRow("carriage return dropped") << QByteArray("E: x\r\n") << QStringLiteral("E: x")
                                                 << QStringLiteral("E: x");
        QTest::newRow("held broken packages")
            << QStringLiteral("E: Невозможно исправить ошибки, у вас отложены (held) битые пакеты.\n").toUtf8()
            << QStringLiteral("E: Невозможно исправить ошибки, у вас отложены (held) битые пакеты.")
            << QStringLiteral("E: Пакеты для установки имеют неудовлетворённые зависимости.");
        QTest::newRow("the English wording passes unchanged")
            << QByteArray("E: Unable to correct problems, you have held broken packages.\n")
            << QStringLiteral("E: Unable to correct problems, you have held broken packages.")
            << QStringLiteral("E: Unable to correct problems, you have held broken packages.");
    }
    void errorOutput()
    {
        QFETCH(QByteArray, output);
        QFETCH(QString, line);
        QFETCH(QString, summary);
        QCOMPARE(firstLine(output), line);
        QCOMPARE(summaryLine(firstLine(output)), summary);
    }

    void resultFilePath_data()
    {
        QTest::addColumn<QString>("package");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << QStringLiteral("vlc") << QStringLiteral("/tmp/vlc.txt");
        QTest::newRow("release form") << QStringLiteral("vlc/bookworm") << QStringLiteral("/tmp/vlc_bookworm.txt");
        QTest::newRow("climbing out") << QStringLiteral("../../etc/passwd") << QStringLiteral("/tmp/.._.._etc_passwd.txt");
    }
    void resultFilePath()
    {
        QFETCH(QString, package);
        QFETCH(QString, path);
        QCOMPARE(RepoCommands::resultFilePath(package), path);
    }
};

QTEST_APPLESS_MAIN(TestRepoCommands)
#include "test_repocommands.moc"

// The check and the installation run with real apt in the sandbox, from the buttons to the last row: a local
// repository brought in by a sources line and refreshed in the terminal window, a package whose maintainer script
// fails, packages nobody has, hostile text in every field, and signing keys served over HTTP on the loopback.

#include "tests/support/support.h"

#include "app/timing.h"
#include "mainwindow/formmain.h"
#include "mainwindow/packagestatus.h"
#include "terminal/formterminal.h"
#include "terminal/termwidget.h"
#include "terminal/termwidgetholder.h"
#include "terminal/termwidgetimpl.h"

using Support::entry;

namespace {

const int Port = 48721; // the sandbox has a network of its own: nothing else listens here

QString keyUrl(const QString &file) { return QStringLiteral("http://127.0.0.1:%1/").arg(Port) + file; }

QStringList tmpFiles() { return QDir(QStringLiteral("/tmp")).entryList(QDir::Files | QDir::System | QDir::Hidden); }

// A search path without apt-key while this lives, as on systems that no longer have it.
struct PathWithoutAptKey {
    const QByteArray oldPath = qgetenv("PATH");
    PathWithoutAptKey()
    {
        const QString dir = QStringLiteral("/tmp/path-without-apt-key");
        QDir().mkpath(dir);
        for (const QString &program : QDir(QStringLiteral("/usr/bin")).entryList(QDir::Files | QDir::System))
            if (program != QStringLiteral("apt-key"))
                QFile::link(QStringLiteral("/usr/bin/") + program, dir + QLatin1Char('/') + program);
        qputenv("PATH", dir.toUtf8() + ":/usr/sbin:/sbin");
    }
    ~PathWithoutAptKey() { qputenv("PATH", oldPath); }
};

} // namespace

class TestWorkflow : public QObject
{
    Q_OBJECT

    QTemporaryDir fixture{QStringLiteral("/var/tmp/zaviron-workflow-XXXXXX")};
    QString repo = fixture.filePath(QStringLiteral("repo")), signedRepo = fixture.filePath(QStringLiteral("signed"));
    QString served = fixture.filePath(QStringLiteral("served"));
    QProcess server;
    Support::Boxes *boxes = nullptr;
    Support::WorkDir *work = nullptr;

    // Clicks "Проверить" and waits for its end: the buttons are locked meanwhile, and /tmp is left as it was.
    void runCheck(FormMain &w)
    {
        w.ButtonCheck->click();
        QVERIFY(w.ButtonCheck->isHidden() && !w.ButtonOK->isEnabled() && !w.ButtonAdd->isEnabled());
        const QStringList before = tmpFiles();
        QTRY_VERIFY_WITH_TIMEOUT(w.ButtonOK->isEnabled(), 120000);
        QCOMPARE(w.installLabel->text(),
                 QStringLiteral("Закончена проверка возможности установки всех намеченных программ."));
        QCOMPARE(tmpFiles(), before);
    }

    QList<RowState> states(FormMain &w)
    {
        QList<RowState> all;
        for (int row = 0; row < w.Table->rowCount(); ++row)
            all << w.rowState(row);
        return all;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite changes apt's sources: run it in the sandbox");
        QCOMPARE(runProgram(QStringLiteral("ip"), {"link", "set", "lo", "up"}).exitCode, 0);
        QVERIFY(QFile::setPermissions(fixture.path(), QFile::permissions(fixture.path()) | QFile::ExeOther));
        QByteArray armored, binary;
        QVERIFY(AptFixture::buildPackage(repo, "zv-local") && AptFixture::buildPackage(repo, "zv-extra"));
        QVERIFY(AptFixture::buildPackage(repo, "zv-bad", {{"postinst", "#!/bin/sh\necho failing on purpose >&2\nexit 1\n"}}));
        // Asks at critical priority, as a licence does; its maintainer script fails unless the answer is yes.
        const QByteArray confmodule = "#!/bin/sh\nset -e\n. /usr/share/debconf/confmodule\n";
        QVERIFY(AptFixture::buildPackage(repo, "zv-question",
            {{"templates", "Template: zv-question/accept\nType: boolean\nDefault: false\nDescription: Accept the zv licence?\n"
                           " A question the user must answer.\n"},
             {"config", confmodule + "db_input critical zv-question/accept || true\ndb_go\n"},
             {"postinst", confmodule + "db_get zv-question/accept\n[ \"$RET\" = true ]\n"}}));
        QVERIFY(AptFixture::indexRepository(repo));
        QVERIFY(AptFixture::buildPackage(signedRepo, QStringLiteral("zv-signed")));
        QVERIFY(AptFixture::indexRepository(signedRepo));
        QVERIFY(AptFixture::makeKey(fixture.filePath(QStringLiteral("gnupg")), &armored, &binary));
        QVERIFY(AptFixture::signRepository(signedRepo, fixture.filePath(QStringLiteral("gnupg"))));
        QVERIFY(QDir().mkpath(served) && Support::writeFile(served + "/key.asc", armored) &&
                Support::writeFile(served + "/key.gpg", binary) &&
                Support::writeFile(served + "/fake.gpg", QByteArray("\x99\x01\x0d\x04", 4) + binary.mid(4, 40)) &&
                Support::writeFile(served + "/big.gpg", binary + QByteArray(5 << 20, 'x')));
        server.start(QStringLiteral("python3"), {"-m", "http.server", QString::number(Port), "--bind", "127.0.0.1",
                                                 "--directory", served});
        QTRY_VERIFY_WITH_TIMEOUT(runProgram("wget", {"-q", "-O", "/dev/null", keyUrl("key.asc")}).exitCode == 0, 15000);
        Timing::setScale(0.05); // the fixed pauses shrink twentyfold
    }

    void cleanupTestCase()
    {
        server.kill();
        server.waitForFinished();
    }

    void init()
    {
        boxes = new Support::Boxes;
        work = new Support::WorkDir;
        QFile::remove(QString::fromLatin1(Sys::LogFile));
        QVERIFY(AptFixture::onlySources(QByteArray()));
    }

    void cleanup()
    {
        delete work;
        delete boxes;
    }

    // From the button to the last row: hostile text in every field stays data; the sources lines bring the local
    // repositories, the key served over HTTP makes the signed one usable, and the refresh runs in the terminal; one
    // package nobody has sends the check to one simulation per package. The run then installs what passed, once per
    // package, and goes on after a failing maintainer script.
    void checkThenInstall()
    {
        const QString line = "deb [trusted=yes] file:" + repo + " ./", signedLine = "deb file:" + signedRepo + " ./";
        const QString ppa = "ppa:x/y;touch /tmp/m-ppa", dashed = "-oAPT::Get::Simulate=false";
        const QString key = keyUrl("key.asc;touch /tmp/m-key$(touch /tmp/m-key2)`touch /tmp/m-key3`");
        const QString hostile = "deb [trusted=yes] file:/nonexistent stable main;touch /tmp/m-src $(touch /tmp/m-src2) &x";
        QVERIFY(work->writeCatalogue({entry("L", "zv-local", "", "", line), entry("M", "zv-missing"), entry("B", "zv-bad"),
                                      entry("M2", "zv-missing"), entry("Bash", "bash"), entry("L2", "zv-local"),
                                      entry("S", "zv-signed", "", keyUrl("key.asc"), signedLine),
                                      entry("H", "zv-hostile", ppa, key, hostile), entry("D", "zv-dashed", "--help", "-o/tmp/m-wget", "-e"),
                                      entry("T", "zv-two", "", "", "deb file:/a ./\ndeb file:/b ./"), entry("O", dashed)}));
        FormMain w;
        QCOMPARE(boxes->shown.size(), 1); // an option is no package name: refused at start-up, never marked
        QVERIFY(boxes->shown.at(0).contains(dashed));
        runCheck(w);

        QCOMPARE(Support::readAll(Sys::SourcesList), (line + '\n' + signedLine + '\n' + hostile + '\n').toUtf8());
        QCOMPARE(QDir("/etc/apt/sources.list.d").entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        QCOMPARE(boxes->shown.size(), 3); // the start-up warning, the refresh question (in the order of the steps), the summary
        QVERIFY2(boxes->shown.at(1).contains("<font color=#AA0000>zv-hostile, zv-dashed, zv-signed, zv-local, zv-two </font>"),
                 qPrintable(boxes->shown.at(1)));
        using S = RowState;
        const QList<S> checked{S::Marked, S::NotInstallable, S::Marked, S::NotInstallable, S::Installed, S::Marked, S::Marked};
        QCOMPARE(states(w).mid(0, 7), checked);
        QCOMPARE(states(w).mid(7), QVector<S>(4, S::NotInstallable).toList());
        // The package listed twice is simulated once; both of its rows are named, each once. An option never is.
        const QString failure = QStringLiteral("Установка zv-missing невозможна:\n E: ");
        QCOMPARE(boxes->shown.at(2).count(failure), 2);
        QVERIFY(boxes->shown.at(2).contains("Установка zv-dashed невозможна:\n E: ") && !boxes->shown.at(2).contains(dashed));
        // The refresh failed on the hostile line: the summary names what this check added, and where.
        QVERIFY2(boxes->shown.at(2).startsWith("Обновление источников ПО (apt-get update) завершилось с ошибкой (код 100)."),
                 qPrintable(boxes->shown.at(2)));
        QVERIFY(boxes->shown.at(2).contains(" строка «" + hostile + "» в файле /etc/apt/sources.list\n"));
        QString log = Support::logText();
        QCOMPARE(log.count(failure), 2);
        QVERIFY(log.contains("]  Добавлен новый репозиторий " + line + '\n') && log.contains("]  Добавлен новый ключ " + keyUrl("key.asc") + '\n'));
        // Without a network the PPAs cannot be fetched, nor the key with shell text in its name: failures, with reasons.
        QVERIFY(log.contains("]  Не удалось добавить партнер-репозиторий " + ppa + ": ") && !log.contains("Добавлен новый партнер"));
        QVERIFY(log.contains("]  Не удалось добавить ключ " + key + ": "));
        QVERIFY(log.contains("строка для sources.list содержит перевод строки") && log.contains("дистрибутив, компоненты): '-e'"));

        w.ButtonOK->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.ButtonCancel->text(), QStringLiteral("Закрыть"), 180000);
        QCOMPARE(w.installLabel->text(), QStringLiteral("Установка отмеченных программ выполнена!"));
        QCOMPARE(states(w).mid(0, 7), (QList<S>{S::Done, S::NotInstallable, S::Failed, S::NotInstallable, S::Installed, S::Done, S::Done}));
        QCOMPARE(PackageStatus::queryInstalled({"zv-local", "zv-bad", "zv-signed"}), (QSet<QString>{"zv-local", "zv-signed"}));
        log = Support::logText();
        const int done = log.indexOf("]  Выполнена установка zv-local\n"), failed = log.indexOf("]  Установка программы zv-bad не удалась!\n");
        QVERIFY2(done > 0 && failed > done && log.indexOf("]  Выполнена установка отмеченных программ!\n") > failed, qPrintable(log));
        QCOMPARE(log.count("Выполнена установка zv-local"), 1);
        QCOMPARE(QDir("/tmp").entryList({"m-*"}, QDir::AllEntries | QDir::System), QStringList());
        QCOMPARE(boxes->shown.size(), 3);
    }

    // Every package passes the one joint simulation: each row is marked without a summary of problems.
    void allInstallable()
    {
        QVERIFY(AptFixture::onlySources("deb [trusted=yes] file:" + repo.toUtf8() + " ./\n") && AptFixture::aptUpdate());
        QVERIFY(work->writeCatalogue({entry("B", "zv-bad"), entry("Bash", "bash"), entry("E", "zv-extra")}));
        FormMain w;
        runCheck(w);
        QCOMPARE(states(w), (QList<RowState>{RowState::Marked, RowState::Installed, RowState::Marked}));
        QCOMPARE(boxes->shown, QStringList());
    }

    // A package's question is asked in the terminal, which stays open, and answered by keystrokes sent there.
    void aQuestionInTheTerminal()
    {
        QVERIFY(AptFixture::onlySources("deb [trusted=yes] file:" + repo.toUtf8() + " ./\n") && AptFixture::aptUpdate());
        QVERIFY(work->writeCatalogue({entry("Q", "zv-question")}));
        // As under the launcher, whose pkexec passes no DEBIAN_FRONTEND: debconf picks its interactive front end.
        const QByteArray frontend = qgetenv("DEBIAN_FRONTEND");
        qunsetenv("DEBIAN_FRONTEND");
        const auto restore = qScopeGuard([&] { if (!frontend.isEmpty()) qputenv("DEBIAN_FRONTEND", frontend); });
        FormMain w;
        QMetaObject::invokeMethod(&w, "ok");
        QPointer<QTermWidget> terminal;
        const auto screen = [&terminal] {
            terminal = nullptr;
            for (QWidget *window : QApplication::topLevelWidgets())
                if (auto *t = qobject_cast<FormTerminal *>(window))
                    terminal = t->consoleTabulator->terminalHolder()->terminal()->impl();
            if (!terminal)
                return QString();
            terminal->setSelectionStart(0, 0);
            terminal->setSelectionEnd(terminal->screenLinesCount() - 1, terminal->screenColumnsCount() - 1);
            return terminal->selectedText();
        };
        QTRY_VERIFY2_WITH_TIMEOUT(screen().contains("Accept the zv licence?"), qPrintable(screen() + Support::logText()), 60000);
        QTest::qWait(1000);
        QVERIFY(w.rowState(0) == RowState::Installing && terminal->window()->isVisible());
        terminal->sendText("yes\r");
        QTRY_COMPARE_WITH_TIMEOUT(w.ButtonCancel->text(), QStringLiteral("Закрыть"), 120000);
        QCOMPARE(w.rowState(0), RowState::Done);
        QCOMPARE(w.Table->item(0, ColStatus)->text(), QStringLiteral("Закончена установка ПО"));
    }

    // Without apt-key the key is stored where apt reads keys, once gpg has read it as a key and it is not too large;
    // a file of the same name that holds another key is never overwritten.
    void keyWithoutAptKey_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("stored"); // in the trusted folder; empty: nothing
        QTest::newRow("binary key") << "key.gpg" << "zaviron-127.0.0.1-key.gpg";
        QTest::newRow("starts like a key, is none") << "fake.gpg" << QString();
        QTest::newRow("5 MiB") << "big.gpg" << QString();
    }
    void keyWithoutAptKey()
    {
        QFETCH(QString, file);
        QFETCH(QString, stored);
        const QString folder = QString::fromLatin1(Sys::TrustedKeysDir) + '/';
        QDir(folder).removeRecursively();
        const PathWithoutAptKey path;
        QVERIFY(!programExists("apt-key"));
        FormMain w;
        w.addDataKey(keyUrl(file));
        QCOMPARE(QDir(folder).entryList(QDir::Files), stored.isEmpty() ? QStringList() : QStringList{stored});
        QVERIFY(Support::logText().contains((stored.isEmpty() ? "]  Не удалось добавить ключ " : "]  Добавлен новый ключ ") + keyUrl(file)));
        if (!stored.isEmpty()) {
            QCOMPARE(Support::readAll(folder + stored), Support::readAll(served + '/' + file));
            QVERIFY(Support::writeFile(folder + stored, "another key\n"));
            w.addDataKey(keyUrl(file)); // takes the next free name
            QCOMPARE(Support::readAll(folder + stored), QByteArray("another key\n"));
            QCOMPARE(Support::readAll(folder + QString(stored).replace(".gpg", "-2.gpg")), Support::readAll(served + '/' + file));
        }
    }

    // Nothing marked: nothing is simulated, the user is told, the window closes and the lock goes.
    void nothingMarkedClosesTheWindow()
    {
        QVERIFY(work->writeCatalogue({entry("Bash", "bash")}));
        QVERIFY(SafeFile::write(QString::fromLatin1(Sys::LockFile), "1\n", SafeFile::Truncate));
        FormMain w;
        w.ButtonCheck->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 10000);
        QCOMPARE(boxes->shown, QStringList{"  Не отмечена для установки ни одна из программ! Приложение будет закрыто.|"});
        QVERIFY(!SafeFile::exists(QString::fromLatin1(Sys::LockFile)));
        QVERIFY(!Support::logText().contains("Создан список программ"));
    }

    // A window closed while a package installs starts no further package.
    void closingDuringTheRunStartsNoFurtherPackage()
    {
        QVERIFY(AptFixture::onlySources("deb [trusted=yes] file:" + repo.toUtf8() + " ./\n") && AptFixture::aptUpdate());
        QVERIFY(work->writeCatalogue({entry("B", "zv-bad"), entry("N", "zv-never")}));
        FormMain::instProg.clear();
        auto *w = new FormMain();
        QMetaObject::invokeMethod(w, "ok");
        QTRY_COMPARE(FormMain::instProg, QStringLiteral("zv-bad")); // its terminal window is open
        w->close(); // a closed window is not destroyed: the terminal's end still reaches it
        QTest::qWait(3000);
        QVERIFY(!Support::logText().contains("zv-never"));
        QCOMPARE(FormMain::instProg, QStringLiteral("zv-bad"));
        delete w;
    }
};

QTEST_MAIN(TestWorkflow)
#include "test_workflow.moc"

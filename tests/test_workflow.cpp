// The check and the installation with real apt in the sandbox against a local signed repository.
#include <QScrollBar>

#include "tests/support/support.h"

#include <QTcpServer>
#include <csignal>

#include "app/lockprobe.h"
#include "app/ownprocesses.h"
#include "app/timing.h"
#include "mainwindow/formmain.h"
#include "mainwindow/packagestatus.h"
#include "mainwindow/signingkeys.h"
#include "terminal/formterminal.h"
#include "terminal/termwidget.h"
#include "terminal/termwidgetholder.h"
#include "terminal/termwidgetimpl.h"

using Support::entry;

namespace {

const int Port = 48721; // the sandbox has a network of its own: nothing else listens here

QString keyUrl(const QString &file) { return QStringLiteral("https://127.0.0.1:%1/").arg(Port) + file; }

QStringList tmpFiles() { return QDir(QStringLiteral("/tmp")).entryList(QDir::Files | QDir::System | QDir::Hidden); }

} // namespace

class TestWorkflow : public QObject
{
    Q_OBJECT

    QTemporaryDir fixture{QStringLiteral("/var/tmp/zaviron-workflow-XXXXXX")};
    QString repo = fixture.filePath(QStringLiteral("repo"));
    QString served = fixture.filePath(QStringLiteral("served"));
    QString gnupg = fixture.filePath(QStringLiteral("gnupg"));
    QByteArray armoredKey, binaryKey;
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
        QByteArray &armored = armoredKey, &binary = binaryKey;
        QVERIFY(AptFixture::buildPackage(repo, "zv-local") && AptFixture::buildPackage(repo, "zv-extra"));
        QVERIFY(AptFixture::buildPackage(repo, "zv-bad", {{"postinst", "#!/bin/sh\necho failing on purpose >&2\nexit 1\n"}}));
        // Asks at critical priority, as a licence does; its maintainer script fails unless the answer is yes.
        const QByteArray confmodule = "#!/bin/sh\nset -e\n. /usr/share/debconf/confmodule\n";
        QVERIFY(AptFixture::buildPackage(repo, "zv-question",
            {{"templates", "Template: zv-question/accept\nType: boolean\nDefault: false\nDescription: Accept the zv licence?\n"
                           " A question the user must answer.\n"},
             {"config", confmodule + "db_input critical zv-question/accept || true\ndb_go\n"},
             {"postinst", confmodule + "db_get zv-question/accept\n[ \"$RET\" = true ]\n"}}));
        QVERIFY(AptFixture::buildPackage(repo, "zv-slow", {{"postinst", "#!/bin/sh\n: > /tmp/zv-configuring\nsleep 2\n: > /tmp/zv-configured\n"}}));
        QVERIFY(AptFixture::buildPackage(repo, "zv-next") && AptFixture::buildPackage(repo, "zv-broken", {}, "Depends: zv-nobody-has-it\n"));
        QVERIFY(AptFixture::buildPackage(repo, "zv-conflict", {}, "Conflicts: zv-extra\n"));
        QVERIFY(AptFixture::indexRepository(repo));
        QVERIFY(AptFixture::makeKey(gnupg, &armored, &binary));
        QVERIFY(AptFixture::signRepository(repo, gnupg));
        QVERIFY(QDir().mkpath(served) && Support::writeFile(served + "/key.asc", armored));
        QVERIFY(AptFixture::serve(&server, served, Port, Port + 1));
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
        for (const char *keys : {"/etc/apt/keyrings", Sys::TrustedKeysDir})
            for (const QString &name : QDir(keys).entryList({"zaviron-*"}))
                QVERIFY(QFile::remove(QString(keys) + '/' + name));
    }

    void cleanup()
    {
        delete work;
        delete boxes;
    }

    // A key address that leaves https on the way is not followed: whoever sits on the path could supply the key.
    void keyRedirectedToHttp() { QCOMPARE(runProgram(Sys::Sh, SigningKeys::downloadArgs(keyUrl("to-http/key.asc"))).out, QByteArray()); }

    // Hostile text in every field stays data and apt does what a row says and nothing else; the run installs what
    // passed, once per package, and goes on after a failing maintainer script.
    void checkThenInstall()
    {
        QCOMPARE(runProgram("dpkg", {"-i", repo + "/zv-extra.deb"}).exitCode, 0); // zv-conflict would remove it
        const QString key = keyUrl("key.asc"), line = "deb file:" + repo + " ./";
        const QString keyring = "/etc/apt/keyrings/zaviron-127.0.0.1-key.gpg";
        const QString written = "deb [signed-by=" + keyring + "] file:" + repo + " ./";
        const QString unreachable = "deb http://127.0.0.1:1/debian x main";
        const QByteArray userLines = "# " + written.toUtf8() + " (the user's note)\n";
        const QString ppa = "ppa:x/y;touch /tmp/m-ppa", dashed = "-oAPT::Get::Simulate=false";
        const QString hostileKey = keyUrl("key.asc;touch /tmp/m-key$(touch /tmp/m-key2)`touch /tmp/m-key3`");
        const QString trusted = "deb [trusted=yes] file:/nonexistent stable main;touch /tmp/m-src $(touch /tmp/m-src2) &x";
        QVERIFY(AptFixture::onlySources(userLines));
        QVERIFY(work->writeCatalogue({entry("L", "zv-local", "", key, line), entry("M", "zv-missing"), entry("B", "zv-bad"),
                                      entry("Dep", "zv-broken"), entry("Bash", "bash"), entry("L2", "zv-local"),
                                      entry("P", "zv-loca."), entry("C", "zv-conflict"), entry("F", "zv-far", "", "", unreachable),
                                      entry("H", "zv-hostile", ppa, hostileKey, trusted),
                                      entry("H2", "zv-h2", trusted, "http://127.0.0.1/other.asc", "deb file:/nowhere ./"),
                                      entry("U", "zv-unfetched", "", keyUrl("none.asc"), "deb file:/nowhere2 ./"),
                                      entry("D", "zv-dashed", "--help", "-o/tmp/m-curl", "-e"), entry("Q", "zv-ppa", "ppa:zv/none"),
                                      entry("T", "zv-two", "", "", "deb file:/a ./\ndeb file:/b ./"), entry("O", dashed)}));
        FormMain w;
        QCOMPARE(boxes->shown.size(), 1); // an option is no package name: refused at start-up, never marked
        QVERIFY(boxes->shown.at(0).contains(dashed));
        runCheck(w);

        const QByteArray sources = userLines + (written + '\n').toUtf8(); // the unreachable line is never written
        QCOMPARE(Support::readAll(Sys::SourcesList), sources);
        QCOMPARE(QDir("/etc/apt/sources.list.d").entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        QCOMPARE(QDir("/etc/apt/keyrings").entryList(QDir::Files), QStringList{"zaviron-127.0.0.1-key.gpg"});
        QCOMPARE(QFileInfo(keyring).permissions(), QFileDevice::Permissions(0x6644));
        QCOMPARE(QDir(Sys::TrustedKeysDir).entryList({"zaviron-*"}), QStringList());
        QCOMPARE(boxes->shown.size(), 3); // the start-up warning, the refresh question, the summary
        QCOMPARE(runProgram("apt-get", {"update"}, 120000).exitCode, 0);
        using S = RowState;
        QCOMPARE(states(w).mid(0, 8), (QList<S>{S::Marked, S::NotInstallable, S::Marked, S::NotInstallable, S::Installed,
                                                S::Marked, S::NotInstallable, S::NotInstallable}));
        QCOMPARE(states(w).mid(8), QVector<S>(8, S::NotInstallable).toList());
        const QString summary = boxes->shown.at(2);
        QVERIFY2(summary.contains("Установка zv-far невозможна:\n E: Не добавлен репозиторий " + unreachable + ": ") &&
                 summary.contains("Failed to fetch http://127.0.0.1:1/") &&
                 !summary.contains("Обновление источников ПО"), qPrintable(summary.mid(summary.indexOf("zv-far"))));
        for (const QString &failed : {QString("zv-missing невозможна:\n E: Unable to locate package zv-missing"),
                                      QString("zv-loca. невозможна:\n E: "),
                                      QString("zv-conflict невозможна:\n E: Packages need to be removed but remove is disabled."),
                                      QString("zv-broken невозможна:\n zv-broken : Depends: zv-nobody-has-it but it is not installable"),
                                      "zv-unfetched невозможна:\n E: Не добавлен репозиторий deb file:/nowhere2 ./: не добавлен ключ " + keyUrl("none.asc")})
            QVERIFY2(summary.count("Установка " + failed) == 1, qPrintable(failed));
        QVERIFY(summary.contains("Установка zv-dashed невозможна:\n E: ") && !summary.contains("Установка " + dashed));
        QCOMPARE(PackageStatus::isInstalled(PackageStatus::queryStatus("zv-extra")), true);
        QString log = Support::logText();
        QVERIFY(log.contains("]  Добавлен новый репозиторий " + written + '\n') && log.contains("]  Добавлен новый ключ " + key + '\n'));
        QVERIFY(log.contains("]  Не добавлен репозиторий deb file:/nowhere2 ./: не добавлен ключ " + keyUrl("none.asc") + ": curl"));
        // Refused before anything runs: a PPA that is no Launchpad archive, a key over http, signature checks off; a
        // row whose line is refused is refused whole, its key never fetched.
        QVERIFY(log.contains("]  Не добавлен партнер-репозиторий: поле PPA не имеет вида ppa:владелец/имя: '" + trusted));
        QVERIFY(log.contains("]  Не удалось добавить ключ http://127.0.0.1/other.asc: адрес ключа не является правильным адресом https://\n"));
        QVERIFY(!log.contains(hostileKey) && summary.contains("Установка zv-hostile невозможна:\n E: Не добавлен репозиторий: строка"));
        QVERIFY(log.contains("]  Не добавлен репозиторий: строка для sources.list отключает проверку подписей (trusted=yes): '" + trusted));
        // A tool's failure is told by its last line, not its traceback's first (or: the release has no such tool).
        QVERIFY2(log.contains(QRegularExpression("]  Не удалось добавить партнер-репозиторий ppa:zv/none: (?!Traceback)\\S")), qPrintable(log));
        QVERIFY(log.contains("строка для sources.list содержит перевод строки") && log.contains("дистрибутив, компоненты): '-e'"));
        // A second pass over the same row finds its line and its key: nothing new is written.
        w.addDataKey(key);
        w.addAptSources(line);
        QCOMPARE(Support::readAll(Sys::SourcesList), sources);
        QCOMPARE(QDir("/etc/apt/keyrings").entryList(QDir::Files).size(), 1);

        w.ButtonOK->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.ButtonCancel->text(), QStringLiteral("Закрыть"), 180000);
        QCOMPARE(w.installLabel->text(), QStringLiteral("Установка отмеченных программ завершена: установлено 1 из 2."));
        QCOMPARE(states(w).mid(0, 6), (QList<S>{S::Done, S::NotInstallable, S::Failed, S::NotInstallable, S::Installed, S::Done}));
        QSet<QString> installed;
        QVERIFY(PackageStatus::queryInstalled({"zv-local", "zv-bad", "zv-loca.", "zv-extra"}, &installed));
        QCOMPARE(installed, (QSet<QString>{"zv-local", "zv-extra"}));
        log = Support::logText();
        const int done = log.indexOf("]  Выполнена установка zv-local\n"), failed = log.indexOf("]  Установка программы zv-bad не удалась!\n");
        QVERIFY2(done > 0 && failed > done && log.indexOf("]  Установка отмеченных программ завершена: установлено 1 из 2\n") > failed, qPrintable(log));
        QCOMPARE(log.count("Выполнена установка zv-local"), 1);
        QCOMPARE(QDir("/tmp").entryList({"m-*"}, QDir::AllEntries | QDir::System), QStringList());
        QCOMPARE(boxes->shown.size(), 3);
    }

    // A check never leaves apt worse than it found it: one repository, one entry; a line apt could not read or fetch
    // is never written, and a refused row stores nothing. Each row compares apt-get update's exit status before and after.
    void repositoriesLeftSound_data()
    {
        QTest::addColumn<QString>("vendor"); // the user's own entry in sources.list.d, "" for none
        QTest::addColumn<Entries>("rows");
        QTest::addColumn<QByteArray>("written"); // what sources.list holds afterwards
        QTest::addColumn<QString>("said");       // in the summary
        const QString file = "file:" + repo + " ./", ours = "deb [signed-by=/etc/apt/keyrings/zaviron-127.0.0.1-key.gpg] " + file;
        QTest::newRow("the user's vendor entry and a keyed row") << "deb [signed-by=/usr/share/keyrings/zv-vendor.gpg] " + file
            << Entries{entry("L", "zv-local", "", keyUrl("key.asc"), "deb " + file)} << QByteArray()
            << "Репозиторий уже подключен в /etc/apt/sources.list.d/vendor.list:1 с другим ключом";
        QTest::newRow("two rows, one repository") << ""
            << Entries{entry("L", "zv-local", "", keyUrl("key.asc"), "deb " + file), entry("E", "zv-extra", "", "", "deb [arch=amd64] " + file)}
            << (ours + '\n').toUtf8() << "уже добавляется для программы zv-local";
        QTest::newRow("a repository without a Release file") << "" << Entries{entry("N", "zv-norelease", "", "", "deb file:" + served + " ./")}
            << QByteArray() << "Release";
        QTest::newRow("a refused line with a key") << "" << Entries{entry("T", "zv-local", "", keyUrl("key.asc"), "deb [trusted=yes] " + file)}
            << QByteArray() << "отключает проверку подписей (trusted=yes)";
        QTest::newRow("a keyring anyone may write") << "" << Entries{entry("W", "zv-local", "", "", "deb [signed-by=/tmp/user.gpg] " + file)}
            << QByteArray() << "нельзя доверять: /tmp/user.gpg доступен для записи";
        QTest::newRow("a key that cannot be fetched") << "" << Entries{entry("U", "zv-local", "", keyUrl("none.asc"), "deb " + file)}
            << QByteArray() << "curl: (22) The requested URL returned error: 404";
    }
    void repositoriesLeftSound()
    {
        QFETCH(QString, vendor);
        QFETCH(Entries, rows);
        QVERIFY(Support::writeFile("/usr/share/keyrings/zv-vendor.gpg", binaryKey) && Support::writeFile("/tmp/user.gpg", binaryKey));
        QVERIFY(QFile::setPermissions("/tmp/user.gpg", QFileDevice::Permissions(0x6666)));
        QVERIFY(vendor.isEmpty() || Support::writeFile("/etc/apt/sources.list.d/vendor.list", vendor.toUtf8() + '\n'));
        QCOMPARE(runProgram("dpkg", {"--purge", "zv-local", "zv-extra"}).exitCode, 0); // an earlier case installed them
        const int before = runProgram("apt-get", {"update"}, 120000).exitCode;
        QVERIFY(work->writeCatalogue(rows));
        FormMain w;
        runCheck(w);
        QTEST(Support::readAll(Sys::SourcesList), "written");
        QCOMPARE(runProgram("apt-get", {"update"}, 120000).exitCode, before);
        const QStringList keys = QDir("/etc/apt/keyrings").entryList({"zaviron-*"}) + QDir(Sys::TrustedKeysDir).entryList({"zaviron-*"});
        QCOMPARE(keys, QTest::currentDataTag() == QString("two rows, one repository") ? QStringList{"zaviron-127.0.0.1-key.gpg"} : QStringList());
        QCOMPARE(boxes->shown.size(), 2); // the refresh question, the summary
        QVERIFY2(boxes->shown.at(1).contains(Support::fetch<QString>("said")), qPrintable(boxes->shown.at(1)));
        QCOMPARE(w.rowState(0), vendor.isEmpty() && rows.size() == 1 ? RowState::NotInstallable : RowState::Marked);
    }

    // A vendor that rotates its key at the same address: the next check replaces the key file in place.
    void keyRotatedAtTheSameAddress()
    {
        const QString rotated = fixture.filePath("rotated"), line = "deb file:" + rotated + " ./";
        QVERIFY(QDir().mkpath(rotated) && QFile::copy(repo + "/Packages", rotated + "/Packages") && QFile::copy(repo + "/zv-local.deb", rotated + "/zv-local.deb"));
        QVERIFY(AptFixture::signRepository(rotated, gnupg) && Support::writeFile(served + "/rot.asc", armoredKey));
        QVERIFY(work->writeCatalogue({entry("R", "zv-local", "", keyUrl("rot.asc"), line)}));
        QCOMPARE(runProgram("dpkg", {"--purge", "zv-local"}).exitCode, 0);
        const QString keyring = "/etc/apt/keyrings/zaviron-127.0.0.1-rot.gpg";
        const QByteArray written = "deb [signed-by=" + keyring.toUtf8() + "] file:" + rotated.toUtf8() + " ./\n";
        for (int check = 0; check < 2; ++check) {
            if (check == 1) {
                QByteArray armored, binary;
                QVERIFY(AptFixture::makeKey(fixture.filePath("gnupg2"), &armored, &binary));
                QVERIFY(AptFixture::signRepository(rotated, fixture.filePath("gnupg2")) && Support::writeFile(served + "/rot.asc", armored));
                binaryKey = binary;
            }
            FormMain w;
            runCheck(w);
            QCOMPARE(Support::readAll(Sys::SourcesList), written);
            QCOMPARE(QDir("/etc/apt/keyrings").entryList({"zaviron-*"}), QStringList{"zaviron-127.0.0.1-rot.gpg"});
            QCOMPARE(w.rowState(0), RowState::Marked);
        }
        QCOMPARE(runProgram("apt-get", {"update"}, 120000).exitCode, 0);
        QVERIFY(Support::logText().contains("]  Обновлён ключ " + keyUrl("rot.asc") + '\n'));
    }

    // A check where all pass shows no summary; a package's question is answered in the terminal.
    void aQuestionInTheTerminal()
    {
        QVERIFY(AptFixture::onlySources("deb [trusted=yes] file:" + repo.toUtf8() + " ./\n") && AptFixture::aptUpdate());
        QVERIFY(work->writeCatalogue({entry("Q", "zv-question"), entry("Bash", "bash")}));
        // As under the launcher, whose pkexec passes no DEBIAN_FRONTEND: debconf picks its interactive front end.
        const QByteArray frontend = qgetenv("DEBIAN_FRONTEND");
        qunsetenv("DEBIAN_FRONTEND");
        const auto restore = qScopeGuard([&] { if (!frontend.isEmpty()) qputenv("DEBIAN_FRONTEND", frontend); });
        FormMain w;
        runCheck(w);
        QCOMPARE(states(w), (QList<RowState>{RowState::Marked, RowState::Installed}));
        QCOMPARE(boxes->shown, QStringList());
        w.ButtonOK->click();
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

    // The check shows each row it finds uninstallable, the table scrolled down to it.
    void theCheckFollowsItsRows()
    {
        QVERIFY(work->writeCatalogue(Entries(20, entry("M", "zv-missing"))));
        FormMain w;
        runCheck(w);
        QCOMPARE(w.Table->verticalScrollBar()->value(), 62); // the last of 20 rows: 19 steps of 2 / 20 * 33
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

    // A run stopped by the terminal's abort or by closing the window: the next package never starts, the terminal
    // stays until dpkg has finished, dpkg is left consistent and the rows say what dpkg says then.
    void stoppingARun_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("the terminal's abort during a configure script") << "button";
        QTest::newRow("the window closed during a configure script") << "close";
        QTest::newRow("the window closed before the first package") << "pause";
    }
    void stoppingARun()
    {
        QFETCH(QString, how);
        QVERIFY(AptFixture::onlySources("deb [trusted=yes] file:" + repo.toUtf8() + " ./\n") && AptFixture::aptUpdate());
        QVERIFY(work->writeCatalogue({entry("S", "zv-slow"), entry("N", "zv-next")}));
        runProgram("dpkg", {"--purge", "zv-slow"}); // what an earlier row installed
        for (const char *file : {"/tmp/zv-configuring", "/tmp/zv-configured"})
            QFile::remove(file);
        FormMain w;
        QMetaObject::invokeMethod(&w, "ok");
        QPointer<FormTerminal> terminal;
        if (how != "pause") {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists("/tmp/zv-configuring"), 60000);
            for (QWidget *window : QApplication::topLevelWidgets())
                if (auto *t = qobject_cast<FormTerminal *>(window); t && t->isVisible())
                    terminal = t;
        }
        how == "button" ? terminal->ButtonClose->click() : void(w.close());
        QVERIFY(w.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!terminal, 60000);
        QVERIFY2(how == "pause" || QFile::exists("/tmp/zv-configured"), "the terminal went before dpkg had finished");
        QTRY_COMPARE_WITH_TIMEOUT(w.ButtonCancel->text(), QStringLiteral("Закрыть"), 60000);
        QCOMPARE(runProgram("dpkg", {"--audit", "zv-slow"}).out, QByteArray()); // zv-bad of another case may be listed
        QCOMPARE(states(w), (QList<RowState>{how == "pause" ? RowState::Failed : RowState::Done, RowState::Failed}));
        QCOMPARE(w.installLabel->text(), QString("Установка прервана: установлено %1 из 2.").arg(how == "pause" ? 0 : 1));
        QCOMPARE(w.isVisible(), how == "button");
        const QString log = Support::logText();
        QVERIFY(log.contains("]  Установка программы zv-next не выполнена: установка прервана\n"));
        QVERIFY(how == "button" || log.contains("]  Окно закрыто во время установки"));
    }

    // Another program holds dpkg's lock: the run names it within seconds, and again once a close has stopped the
    // run; a second close ends that wait and leaves the program alone.
    void anotherProgramHoldsTheLock()
    {
        QVERIFY(AptFixture::onlySources("deb [trusted=yes] file:" + repo.toUtf8() + " ./\n") && AptFixture::aptUpdate());
        QVERIFY(work->writeCatalogue({entry("N", "zv-next")}));
        qint64 holder = 0;
        QVERIFY(QProcess::startDetached("python3", {"-c", "import fcntl,time\nf=open('/var/lib/dpkg/lock','a')\n"
                                                          "fcntl.lockf(f,fcntl.LOCK_EX)\ntime.sleep(600)"}, "/", &holder));
        const auto release = qScopeGuard([holder] { ::kill(pid_t(holder), SIGKILL); });
        QTRY_COMPARE(LockProbe::probe(Sys::DpkgLock).pid, holder);
        FormMain w;
        QMetaObject::invokeMethod(&w, "ok");
        const QString named = QString("]  Ожидание блокировки: Блокировка %1 занята процессом %2 (python3)\n").arg(Sys::DpkgLock).arg(holder);
        QTRY_VERIFY(Support::logText().contains(named));
        QVERIFY((w.installLabel->text() + w.installLabel->text()).contains(QString("процесс %1 (python3)").arg(holder)));
        w.close();
        QTRY_COMPARE(Support::logText().count(named), 2);
        QVERIFY(w.isVisible());
        w.close();
        QVERIFY(!w.isVisible() && Support::logText().endsWith("]  Ожидание блокировки прекращено: окно закрыто\n"));
        QCOMPARE(::kill(pid_t(holder), 0), 0);
    }

    // A window closed at any step of the check goes no further: nothing more is judged, started or logged. A close
    // while a key host never answers is handled inside the step's wait, which it ends.
    void closingStopsTheWork_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("during the refresh") << "refresh";
        QTest::newRow("between two rows of the check") << "row";
        QTest::newRow("while a key host stalls") << "stall";
    }
    void closingStopsTheWork()
    {
        QFETCH(QString, when);
        QTcpServer silent; // takes connections, never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const QString key = when == "stall" ? QString("https://127.0.0.1:%1/key.asc").arg(silent.serverPort()) : "";
        QVERIFY(AptFixture::onlySources("deb [trusted=yes] file:" + repo.toUtf8() + " ./\n") && AptFixture::aptUpdate());
        QVERIFY(work->writeCatalogue({entry("B", "zv-bad", "", key, when == "refresh" ? "deb file:/zv-nowhere ./" : ""),
                                      entry("M", "zv-missing"), entry("N", "zv-never")}));
        FormMain::instProg.clear();
        QPointer<FormMain> w = new FormMain();
        const auto free = qScopeGuard([&] { delete w; });
        const auto terminal = [] {
            for (QWidget *window : QApplication::topLevelWidgets())
                if (qobject_cast<FormTerminal *>(window) && window->isVisible())
                    return true;
            return false;
        };
        QString log;
        int shown = -1;
        const auto close = [&] {
            w->close(); // a closed window that is not freed still gets the terminal's end
            log = Support::logText();
            shown = boxes->shown.size();
        };
        int waitGoesOn = -1; // the first event after a close mid-fetch: 1 inside the wait still, 2 the window freed
        bool freeAsked = false;
        QTimer fetch;        // its ticks run inside the step's wait for curl
        connect(&fetch, &QTimer::timeout, [&] {
            if (shown >= 0 || OwnProcesses::descendantsNamed("curl").isEmpty())
                return;
            if (!std::exchange(freeAsked, true))
                return w->deleteLater(); // as a window freed on its close: not while its step waits
            if (!w)
                return void(waitGoesOn = 2);
            close();
            QTimer::singleShot(0, [&] { waitGoesOn = waitingForHiddenCommand(); });
        });
        fetch.start(10);
        w->ButtonCheck->click();
        QTRY_VERIFY_WITH_TIMEOUT(when == "refresh" ? terminal() : when == "row" ? w->rowState(1) == RowState::NotInstallable
                                                                                 : waitGoesOn >= 0, 60000);
        QCOMPARE(waitGoesOn, when == "stall" ? 0 : -1);
        if (when != "stall")
            close();
        QTRY_VERIFY_WITH_TIMEOUT(!terminal(), 60000);
        QTest::qWait(1000);
        QCOMPARE(Support::logText(), log);
        QCOMPARE(boxes->shown.size(), shown);
        if (when == "row")
            QCOMPARE(w->rowState(2), RowState::Marked);
        QCOMPARE(FormMain::instProg, QString());
        QCOMPARE(OwnProcesses::descendantsNamed("curl"), QList<pid_t>());
        QCOMPARE(w.isNull(), when == "stall");
    }
};

QTEST_MAIN(TestWorkflow)
#include "test_workflow.moc"

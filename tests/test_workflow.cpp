// The check and the installation with real apt in the sandbox against a local signed repository.
#include <QScrollBar>

#include "tests/support/support.h"

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

// Serves a folder over https with a certificate the sandbox trusts, as a key host does, and over plain http one port
// up, where https /http/PATH redirects to.
const char *const HttpsServer =
    "import http.server,ssl,sys,functools,threading;p=int(sys.argv[1])\n"
    "class H(http.server.SimpleHTTPRequestHandler):\n"
    " def do_GET(s):\n"
    "  if not s.path.startswith('/http/'): return super().do_GET()\n"
    "  s.send_response(302);s.send_header('Location','http://127.0.0.1:%d/%s'%(p+1,s.path[6:]));s.end_headers()\n"
    "h=functools.partial(H,directory=sys.argv[2])\n"
    "threading.Thread(target=http.server.HTTPServer(('127.0.0.1',p+1),h).serve_forever).start()\n"
    "s=http.server.HTTPServer(('127.0.0.1',p),h)\n"
    "c=ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER);c.load_cert_chain(sys.argv[3],sys.argv[4])\n"
    "s.socket=c.wrap_socket(s.socket,server_side=True);s.serve_forever()\n";

} // namespace

class TestWorkflow : public QObject
{
    Q_OBJECT

    QTemporaryDir fixture{QStringLiteral("/var/tmp/zaviron-workflow-XXXXXX")};
    QString repo = fixture.filePath(QStringLiteral("repo"));
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
        QVERIFY(AptFixture::buildPackage(repo, "zv-slow", {{"postinst", "#!/bin/sh\n: > /tmp/zv-configuring\nsleep 3\n"}}));
        QVERIFY(AptFixture::buildPackage(repo, "zv-next") && AptFixture::buildPackage(repo, "zv-broken", {}, "Depends: zv-nobody-has-it\n"));
        QVERIFY(AptFixture::buildPackage(repo, "zv-conflict", {}, "Conflicts: zv-extra\n"));
        QVERIFY(AptFixture::indexRepository(repo));
        const QString gnupg = fixture.filePath(QStringLiteral("gnupg")), pem = fixture.filePath("key.pem");
        QVERIFY(AptFixture::makeKey(gnupg, &armored, &binary));
        QVERIFY(AptFixture::signRepository(repo, gnupg));
        QVERIFY(QDir().mkpath(served) && Support::writeFile(served + "/key.asc", armored));
        const QString cert = "/usr/local/share/ca-certificates/zv-test.crt";
        QCOMPARE(runProgram("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", pem, "-out", cert,
                                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-days", "2"})
                     .exitCode, 0);
        QCOMPARE(runProgram("update-ca-certificates", {}, 60000).exitCode, 0);
        server.start("python3", {"-c", HttpsServer, QString::number(Port), served, cert, pem});
        QTRY_VERIFY_WITH_TIMEOUT(runProgram("curl", {"-sfL", "-o", "/dev/null", keyUrl("http/key.asc")}).exitCode == 0, 15000);
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

    // A key address that leaves https on the way is not followed: whoever sits on the path could supply the key.
    void keyRedirectedToHttp() { QCOMPARE(runProgram(Sys::Sh, SigningKeys::downloadArgs(keyUrl("http/key.asc"))).out, QByteArray()); }

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
                                      entry("H2", "zv-h2", trusted, "http://127.0.0.1/key.asc", "deb file:/nowhere ./"),
                                      entry("U", "zv-unfetched", "", keyUrl("none.asc"), "deb file:/nowhere2 ./"),
                                      entry("D", "zv-dashed", "--help", "-o/tmp/m-curl", "-e"), entry("Q", "zv-ppa", "ppa:zv/none"),
                                      entry("T", "zv-two", "", "", "deb file:/a ./\ndeb file:/b ./"), entry("O", dashed)}));
        FormMain w;
        QCOMPARE(boxes->shown.size(), 1); // an option is no package name: refused at start-up, never marked
        QVERIFY(boxes->shown.at(0).contains(dashed));
        runCheck(w);

        const QByteArray sources = userLines + (written + '\n' + unreachable + '\n').toUtf8();
        QCOMPARE(Support::readAll(Sys::SourcesList), sources);
        QCOMPARE(QDir("/etc/apt/sources.list.d").entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        QCOMPARE(QDir("/etc/apt/keyrings").entryList(QDir::Files), QStringList{"zaviron-127.0.0.1-key.gpg"});
        QCOMPARE(QFileInfo(keyring).permissions(), QFileDevice::Permissions(0x6644));
        QCOMPARE(QDir(Sys::TrustedKeysDir).entryList({"zaviron-*"}), QStringList());
        QCOMPARE(boxes->shown.size(), 3); // the start-up warning, the refresh question, the summary
        using S = RowState;
        QCOMPARE(states(w).mid(0, 8), (QList<S>{S::Marked, S::NotInstallable, S::Marked, S::NotInstallable, S::Installed,
                                                S::Marked, S::NotInstallable, S::NotInstallable}));
        QCOMPARE(states(w).mid(8), QVector<S>(8, S::NotInstallable).toList());
        const QString summary = boxes->shown.at(2);
        // The refresh exited 0 but could not fetch the unreachable repository: the summary names that line alone.
        QVERIFY2(summary.startsWith("Обновление источников ПО (apt-get update) не смогло загрузить данные добавленных "
                                    "репозиториев:\n строка «" + unreachable + "» в файле /etc/apt/sources.list\nЕсли"),
                 qPrintable(summary));
        for (const QString &failed : {QString("zv-missing невозможна:\n E: Unable to locate package zv-missing"),
                                      QString("zv-loca. невозможна:\n E: "),
                                      QString("zv-conflict невозможна:\n E: Packages need to be removed but remove is disabled."),
                                      QString("zv-broken невозможна:\n zv-broken : Depends: zv-nobody-has-it but it is not installable"),
                                      "zv-unfetched невозможна:\n E: не добавлен ключ " + keyUrl("none.asc")})
            QVERIFY2(summary.count("Установка " + failed) == 1, qPrintable(failed));
        QVERIFY(summary.contains("Установка zv-dashed невозможна:\n E: ") && !summary.contains("Установка " + dashed));
        QCOMPARE(PackageStatus::isInstalled(PackageStatus::queryStatus("zv-extra")), true);
        QString log = Support::logText();
        QVERIFY(log.contains("]  Добавлен новый репозиторий " + written + '\n') && log.contains("]  Добавлен новый ключ " + key + '\n'));
        QVERIFY(log.contains("]  Не добавлен репозиторий deb file:/nowhere2 ./: не добавлен ключ " + keyUrl("none.asc") + ": curl"));
        // Refused before anything runs: a PPA that is no Launchpad archive, a key over http, signature checks off.
        QVERIFY(log.contains("]  Не добавлен партнер-репозиторий: поле PPA не имеет вида ppa:владелец/имя: '" + trusted));
        for (const QString &url : {QString("http://127.0.0.1/key.asc"), hostileKey})
            QVERIFY(log.contains("]  Не удалось добавить ключ " + url + ": адрес ключа не является правильным адресом https://\n"));
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
        QCOMPARE(w.installLabel->text(), QStringLiteral("Установка отмеченных программ выполнена!"));
        QCOMPARE(states(w).mid(0, 6), (QList<S>{S::Done, S::NotInstallable, S::Failed, S::NotInstallable, S::Installed, S::Done}));
        QSet<QString> installed;
        QVERIFY(PackageStatus::queryInstalled({"zv-local", "zv-bad", "zv-loca.", "zv-extra"}, &installed));
        QCOMPARE(installed, (QSet<QString>{"zv-local", "zv-extra"}));
        log = Support::logText();
        const int done = log.indexOf("]  Выполнена установка zv-local\n"), failed = log.indexOf("]  Установка программы zv-bad не удалась!\n");
        QVERIFY2(done > 0 && failed > done && log.indexOf("]  Выполнена установка отмеченных программ!\n") > failed, qPrintable(log));
        QCOMPARE(log.count("Выполнена установка zv-local"), 1);
        QCOMPARE(QDir("/tmp").entryList({"m-*"}, QDir::AllEntries | QDir::System), QStringList());
        QCOMPARE(boxes->shown.size(), 3);
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

    // An abort during a configure script: the next package never starts, dpkg is left consistent.
    void abortDuringAConfigureScript()
    {
        QVERIFY(AptFixture::onlySources("deb [trusted=yes] file:" + repo.toUtf8() + " ./\n") && AptFixture::aptUpdate());
        QVERIFY(work->writeCatalogue({entry("S", "zv-slow"), entry("N", "zv-next")}));
        FormMain w;
        QMetaObject::invokeMethod(&w, "ok");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists("/tmp/zv-configuring"), 60000);
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *terminal = qobject_cast<FormTerminal *>(window))
                terminal->ButtonClose->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.ButtonCancel->text(), QStringLiteral("Закрыть"), 60000);
        QCOMPARE(runProgram("dpkg", {"--audit", "zv-slow"}).out, QByteArray()); // zv-bad of another case may be listed
        QCOMPARE(w.rowState(1), RowState::Failed);
        QCOMPARE(PackageStatus::isInstalled(PackageStatus::queryStatus("zv-next")), false);
        QVERIFY(Support::logText().contains("]  Установка программы zv-next не выполнена: установка прервана\n"));
    }

    // A window closed at any step of the check or the run goes no further: nothing more is judged, started or logged.
    void closingStopsTheWork_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("during the refresh") << "refresh";
        QTest::newRow("between two rows of the check") << "row";
        QTest::newRow("before the first package") << "pause";
        QTest::newRow("while a package installs") << "package";
    }
    void closingStopsTheWork()
    {
        QFETCH(QString, when);
        QVERIFY(AptFixture::onlySources("deb [trusted=yes] file:" + repo.toUtf8() + " ./\n") && AptFixture::aptUpdate());
        QVERIFY(work->writeCatalogue({entry("B", "zv-bad", "", "", when == "refresh" ? "deb file:/zv-nowhere ./" : ""),
                                      entry("M", "zv-missing"), entry("N", "zv-never")}));
        FormMain::instProg.clear();
        QScopedPointer<FormMain> w(new FormMain());
        const auto terminal = [] {
            for (QWidget *window : QApplication::topLevelWidgets())
                if (qobject_cast<FormTerminal *>(window) && window->isVisible())
                    return true;
            return false;
        };
        if (when == "refresh" || when == "row")
            w->ButtonCheck->click();
        else
            QMetaObject::invokeMethod(w.data(), "ok");
        QTRY_VERIFY_WITH_TIMEOUT(when == "refresh" ? terminal() : when == "row" ? w->rowState(1) == RowState::NotInstallable
                                 : when == "package" ? FormMain::instProg == "zv-bad" : true, 60000);
        w->close(); // a closed window is not destroyed: the terminal's end still reaches it
        const QString log = Support::logText();
        const int shown = boxes->shown.size();
        QTRY_VERIFY_WITH_TIMEOUT(!terminal(), 60000);
        QTest::qWait(1000);
        QCOMPARE(Support::logText(), log);
        QCOMPARE(boxes->shown.size(), shown);
        if (when == "row")
            QCOMPARE(w->rowState(2), RowState::Marked);
        QCOMPARE(FormMain::instProg, QString(when == "package" ? "zv-bad" : ""));
    }
};

QTEST_MAIN(TestWorkflow)
#include "test_workflow.moc"

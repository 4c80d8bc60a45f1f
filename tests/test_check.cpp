// The installability check and the repository preparation with real apt in the sandbox: a local repository brought
// in by a sources line and refreshed in the terminal window, packages no repository has, hostile text in every
// field, signing keys served over HTTP on the loopback interface, and files planted in /tmp.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/aptfixture.h"

#include "app/messagebox.h"
#include "app/process.h"
#include "app/safefile.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "catalogue/cataloguecodec.h"
#include "mainwindow/formmain.h"
#include "mainwindow/packagestatus.h"

namespace {

const int Port = 48721; // the sandbox has a network of its own: nothing else listens here
const QString Marked = QStringLiteral("ПО отмечено для установки");
const QString NotInstallable = QStringLiteral("ПО нельзя установить");

CatalogueEntry entry(const QString &package, const QString &ppa = QString(), const QString &key = QString(),
                     const QString &sources = QString())
{
    return CatalogueEntry::fromFields({QStringLiteral("Программа ") + package, QStringLiteral("тест"), package, ppa,
                                       key, sources});
}

QString logText() { return QString::fromUtf8(AptFixture::readAll(QString::fromLatin1(Sys::LogFile))); }

QString keyUrl(const QString &file) { return QStringLiteral("http://127.0.0.1:%1/").arg(Port) + file; }

// apt-key leaves the search path for as long as this lives. The file itself stays: where apt still has it, apt calls
// it by its full path to check signatures.
struct PathWithoutAptKey {
    const QByteArray oldPath = qgetenv("PATH");
    const QString dir = QStringLiteral("/tmp/path-without-apt-key");
    explicit PathWithoutAptKey(bool active)
    {
        if (!active)
            return;
        QDir().mkpath(dir);
        const QStringList programs = QDir(QStringLiteral("/usr/bin")).entryList(QDir::Files | QDir::System);
        for (const QString &program : programs)
            if (program != QStringLiteral("apt-key"))
                QFile::link(QStringLiteral("/usr/bin/") + program, dir + QLatin1Char('/') + program);
        qputenv("PATH", dir.toUtf8() + ":/usr/sbin:/sbin");
    }
    ~PathWithoutAptKey() { qputenv("PATH", oldPath); }
};

// No key trusted, and no index that apt verified earlier and would keep using.
void clearKeys()
{
    const QString lists = QStringLiteral("/var/lib/apt/lists/");
    for (const QString &file : QDir(lists).entryList(QDir::Files))
        QFile::remove(lists + file);
    QFile::remove(QStringLiteral("/etc/apt/trusted.gpg"));
    QDir(QString::fromLatin1(Sys::TrustedKeysDir)).removeRecursively();
    QDir().mkpath(QString::fromLatin1(Sys::TrustedKeysDir));
}

} // namespace

class TestCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir fixture{QStringLiteral("/var/tmp/zaviron-check-XXXXXX")};
    QString repo, signedRepo, served, gnupg;
    QByteArray armored, binary;
    QProcess server;
    QTemporaryDir *work = nullptr;
    QString oldDir;
    QStringList boxes;
    bool answerYes = false;

    void runCheck(FormMain &w)
    {
        w.ButtonCheck->click();
        QVERIFY(w.ButtonCheck->isHidden());
        for (QPushButton *button : {w.ButtonOK, w.ButtonAdd, w.ButtonEdit, w.ButtonDelete})
            QVERIFY(!button->isEnabled());
        QVERIFY(w.ButtonCancel->isEnabled());
        const QStringList before = tmpFiles();
        QTRY_VERIFY_WITH_TIMEOUT(w.ButtonOK->isEnabled(), 120000);
        QCOMPARE(w.installLabel->text(),
                 QStringLiteral("Закончена проверка возможности установки всех намеченных программ."));
        // The check leaves nothing behind in /tmp.
        QCOMPARE(tmpFiles(), before);
    }

    static QStringList tmpFiles()
    {
        return QDir(QStringLiteral("/tmp")).entryList(QDir::Files | QDir::System | QDir::Hidden);
    }

    void saveCatalogue(const QVector<CatalogueEntry> &entries)
    {
        QVERIFY(CatalogueCodec::saveFile(QString::fromLatin1(Sys::CatalogueFile), entries));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite changes apt's sources: run it in the sandbox");
        QCOMPARE(runProgram(QStringLiteral("ip"), {QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
                                                   QStringLiteral("up")})
                     .exitCode,
                 0);
        QVERIFY(fixture.isValid());
        // apt's download helper runs as another user: it must be able to reach the repositories.
        QVERIFY(QFile::setPermissions(fixture.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                          QFile::ExeOther));
        repo = fixture.filePath(QStringLiteral("repo"));
        signedRepo = fixture.filePath(QStringLiteral("signed"));
        served = fixture.filePath(QStringLiteral("served"));
        gnupg = fixture.filePath(QStringLiteral("gnupg"));
        QVERIFY(AptFixture::buildPackage(repo, QStringLiteral("zv-local")));
        QVERIFY(AptFixture::indexRepository(repo));
        QVERIFY(AptFixture::buildPackage(signedRepo, QStringLiteral("zv-signed")));
        QVERIFY(AptFixture::indexRepository(signedRepo));
        QVERIFY(AptFixture::makeKey(gnupg, &armored, &binary));
        QVERIFY(AptFixture::signRepository(signedRepo, gnupg));
        QVERIFY(QDir().mkpath(served));
        QVERIFY(SafeFile::write(served + QStringLiteral("/key.asc"), armored, SafeFile::Truncate));
        QVERIFY(SafeFile::write(served + QStringLiteral("/key.gpg"), binary, SafeFile::Truncate));
        QVERIFY(SafeFile::write(served + QStringLiteral("/page.asc"), "<html>moved</html>\n", SafeFile::Truncate));

        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(Port), QStringLiteral("--bind"),
                      QStringLiteral("127.0.0.1"), QStringLiteral("--directory"), served});
        QVERIFY(server.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(runProgram(QStringLiteral("wget"), {QStringLiteral("-q"), QStringLiteral("-O"),
                                                                    QStringLiteral("/dev/null"), keyUrl("key.asc")})
                                         .exitCode == 0,
                                 15000);

        Timing::setScale(0.05);
        MessageBoxes::setAnswerer([this](QMessageBox *box) {
            boxes << box->text() + QLatin1Char('|') + box->informativeText();
            if (box->standardButtons() & QMessageBox::Yes)
                return int(answerYes ? QMessageBox::Yes : QMessageBox::No);
            return int(QMessageBox::Close);
        });
    }

    void cleanupTestCase()
    {
        server.kill();
        server.waitForFinished();
    }

    void init()
    {
        boxes.clear();
        answerYes = false;
        work = new QTemporaryDir();
        oldDir = QDir::currentPath();
        QDir::setCurrent(work->path());
        QFile::remove(QString::fromLatin1(Sys::LogFile));
        QVERIFY(AptFixture::onlySources(QByteArray()));
    }

    void cleanup()
    {
        QDir::setCurrent(oldDir);
        delete work;
    }

    // From the button to the end of the installation: the sources line brings the local repository, the refresh
    // runs in the terminal window, the package only that repository has passes and installs, the one nobody has
    // fails for both of its rows.
    void checkThenInstall()
    {
        const QString line = QStringLiteral("deb [trusted=yes] file:") + repo + QStringLiteral(" ./");
        saveCatalogue({entry(QStringLiteral("zv-local"), QString(), QString(), line), entry(QStringLiteral("zv-missing")),
                       entry(QStringLiteral("zv-missing")), entry(QStringLiteral("bash"))});
        answerYes = true;
        FormMain w;
        QCOMPARE(w.Table->item(3, 4)->text(), QStringLiteral("ПО уже установлено"));
        runCheck(w);

        QCOMPARE(AptFixture::readAll(QString::fromLatin1(Sys::SourcesList)), line.toUtf8() + '\n');
        QCOMPARE(boxes.size(), 2);
        QVERIFY2(boxes.at(0).contains(QStringLiteral("<font color=#AA0000>zv-local </font>")), qPrintable(boxes.at(0)));
        QVERIFY2(w.Table->item(0, 4)->text() == Marked, qPrintable(logText())); // found only after the refresh
        for (int row : {1, 2}) {
            QCOMPARE(w.Table->item(row, 4)->text(), NotInstallable);
            QCOMPARE(w.Table->item(row, 0)->text(), QStringLiteral("Нет"));
            QCOMPARE(w.Table->item(row, 0)->checkState(), Qt::Unchecked);
        }
        // The package listed twice is simulated once and marks both rows: an entry for each.
        const QString failure = QStringLiteral("Установка zv-missing невозможна:\n E: ");
        QCOMPARE(boxes.at(1).count(failure), 2);
        QVERIFY(boxes.at(1).endsWith(QStringLiteral("|<b><font color=#AA0000>  Эти проблемы с установкой программ "
                                                    "обнаружены в результате проверки. </font></b>")));
        QCOMPARE(logText().count(failure), 2);
        QVERIFY(logText().contains(QStringLiteral("]  Добавлен новый репозиторий ") + line + QLatin1Char('\n')));
        QVERIFY(logText().contains(QStringLiteral("]  Создан список программ для проверки возможности их установки.\n")));

        w.ButtonOK->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.ButtonCancel->text(), QStringLiteral("Закрыть"), 180000);
        QCOMPARE(w.Table->item(0, 4)->text(), QStringLiteral("Закончена установка ПО"));
        QCOMPARE(w.Table->item(1, 4)->text(), NotInstallable);
        QCOMPARE(PackageStatus::queryStatus(QStringLiteral("zv-local")), QString::fromUtf8(PackageStatus::InstalledText));
        QVERIFY(logText().contains(QStringLiteral("]  Выполнена установка zv-local\n")));
        QVERIFY(!logText().contains(QStringLiteral("Выполнена установка zv-missing")));
    }

    // Every optional field, and the package field, full of shell and apt syntax: the text is data everywhere.
    void hostileFieldsRunNothing()
    {
        const QString ppa = QStringLiteral("ppa:x/y;touch /tmp/m-ppa");
        const QString key = keyUrl(QStringLiteral("key.asc;touch /tmp/m-key$(touch /tmp/m-key2)`touch /tmp/m-key3`"));
        const QString line = QStringLiteral("deb [trusted=yes] file:/nonexistent stable main;touch /tmp/m-src "
                                            "$(touch /tmp/m-src2) \"|touch /tmp/m-src3\" &touch");
        const QString dashed = QStringLiteral("-oAPT::Get::Simulate=false");
        const QString twoLines = QStringLiteral("deb file:/a ./\ndeb file:/b ./");
        saveCatalogue({entry(QStringLiteral("zv-hostile"), ppa, key, line),
                       entry(QStringLiteral("zv-dashed"), QStringLiteral("--help"), QStringLiteral("-o/tmp/m-wget"),
                             QStringLiteral("-e")),
                       entry(QStringLiteral("zv-two-lines"), QString(), QString(), twoLines), entry(dashed)});
        FormMain w;
        QCOMPARE(w.rowState(3), RowState::NotInstallable); // apt would read it as an option: never marked
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes.at(0).contains(dashed));
        runCheck(w);

        QCOMPARE(QDir(QStringLiteral("/tmp")).entryList({QStringLiteral("m-*")}, QDir::AllEntries | QDir::System),
                 QStringList());
        QCOMPARE(QDir(QStringLiteral("/etc/apt/sources.list.d")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
        // The entry is written as it stands; no sources entry and a line break are refused and said so in the log.
        QCOMPARE(AptFixture::readAll(QString::fromLatin1(Sys::SourcesList)), (line + "\n").toUtf8());
        const QString text = logText();
        // Without a network neither can be fetched: each is logged as a failure with its reason, never as added.
        QVERIFY(text.contains(QStringLiteral("]  Не удалось добавить партнер-репозиторий ") + ppa + QStringLiteral(": ")));
        QVERIFY(text.contains(QStringLiteral("]  Не удалось добавить ключ ") + key + QStringLiteral(": ")));
        QVERIFY(!text.contains(QStringLiteral("Добавлен новый партнер-репозиторий")));
        QVERIFY(!text.contains(QStringLiteral("Добавлен новый ключ")));
        QVERIFY(text.contains(QStringLiteral("]  Добавлен новый репозиторий ") + line + QLatin1Char('\n')));
        QVERIFY(!text.contains(QStringLiteral("Добавлен новый репозиторий deb file:/a")));
        QVERIFY(text.contains(QStringLiteral("строка для sources.list содержит перевод строки")));
        QVERIFY(text.contains(QStringLiteral("не является строкой источника apt (deb или deb-src, [параметры], адрес, "
                                             "дистрибутив, компоненты): '-e'")));
        for (int row = 0; row < 4; ++row)
            QCOMPARE(w.rowState(row), RowState::NotInstallable);
        QCOMPARE(boxes.size(), 3); // the start-up warning, the question, answered "Нет", and the summary
        QVERIFY(boxes.at(2).contains(QStringLiteral("Установка zv-dashed невозможна:\n E: ")));
        QVERIFY(!boxes.at(2).contains(dashed));
    }

    // The key ends up where apt reads it: a repository signed with it becomes usable.
    void keyReachesApt_data()
    {
        QTest::addColumn<bool>("withoutAptKey");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("stored");
        QTest::newRow("apt-key, armored") << false << QStringLiteral("key.asc") << QString();
        QTest::newRow("no apt-key, armored") << true << QStringLiteral("key.asc") << QStringLiteral("zaviron-127.0.0.1-key.asc");
        QTest::newRow("no apt-key, binary") << true << QStringLiteral("key.gpg") << QStringLiteral("zaviron-127.0.0.1-key.gpg");
        QTest::newRow("no apt-key, an error page") << true << QStringLiteral("page.asc") << QString();
    }
    void keyReachesApt()
    {
        QFETCH(bool, withoutAptKey);
        QFETCH(QString, file);
        QFETCH(QString, stored);
        const bool isKey = file != QStringLiteral("page.asc");
        clearKeys();
        QVERIFY(AptFixture::onlySources("deb file:" + signedRepo.toUtf8() + " ./\n"));
        QVERIFY(!AptFixture::aptUpdate()); // unsigned as far as apt knows
        saveCatalogue({entry(QStringLiteral("bash"))});
        const PathWithoutAptKey path(withoutAptKey);
        QCOMPARE(programExists(QStringLiteral("apt-key")), !withoutAptKey);
        FormMain w;
        w.addDataKey(keyUrl(file));

        QByteArray errors;
        QVERIFY2(AptFixture::aptUpdate(&errors) == isKey, errors.constData());
        QVERIFY(logText().contains(isKey ? QStringLiteral("]  Добавлен новый ключ ") + keyUrl(file) + QLatin1Char('\n')
                                         : QStringLiteral("]  Не удалось добавить ключ ") + keyUrl(file) + ": "));
        const QStringList keys = QDir(QString::fromLatin1(Sys::TrustedKeysDir)).entryList(QDir::Files);
        if (withoutAptKey) {
            QCOMPARE(keys, stored.isEmpty() ? QStringList() : QStringList{stored});
            if (!stored.isEmpty()) {
                const QString path = QString::fromLatin1(Sys::TrustedKeysDir) + QLatin1Char('/') + stored;
                QCOMPARE(AptFixture::readAll(path), AptFixture::readAll(served + QLatin1Char('/') + file));
                // The same key again is fine; a file of that name holding another key is never overwritten.
                QVERIFY(SafeFile::write(path, "another key\n", SafeFile::Truncate));
                w.addDataKey(keyUrl(file));
                QCOMPARE(AptFixture::readAll(path), QByteArray("another key\n"));
                QVERIFY(logText().contains(QStringLiteral("]  Не удалось добавить ключ ") + keyUrl(file) + ": файл ключа"));
            }
        }
        clearKeys();
    }

    // A PPA is added only where sources.list exists.
    void ppaOnlyWithSourcesList()
    {
        saveCatalogue({entry(QStringLiteral("bash"))});
        FormMain w;
        const QString logged = QStringLiteral("партнер-репозиторий ppa:zaviron-test/");
        w.addPPASources(QStringLiteral("ppa:zaviron-test/one"));
        QVERIFY(QFile::remove(QString::fromLatin1(Sys::SourcesList)));
        w.addPPASources(QStringLiteral("ppa:zaviron-test/two"));
        QVERIFY(logText().contains(QStringLiteral("]  Не удалось добавить ") + logged + QStringLiteral("one: "))); // no network
        QVERIFY(!logText().contains(logged + QStringLiteral("two")));
    }

    // The rewrite of sources.list keeps what the administrator set on it; a missing file is created.
    void sourcesFileKeepsModeAndOwner_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("uid");
        QTest::addColumn<int>("gid");
        QTest::newRow("restricted, other owner") << true << 0640 << 1 << 4;
        QTest::newRow("missing") << false << 0644 << 0 << 0;
    }
    void sourcesFileKeepsModeAndOwner()
    {
        QFETCH(bool, exists);
        QFETCH(int, mode);
        QFETCH(int, uid);
        QFETCH(int, gid);
        const QByteArray path = QByteArray(Sys::SourcesList);
        if (exists) {
            QVERIFY(AptFixture::onlySources("deb http://old.example/ s main\n"));
            QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);
            QCOMPARE(::chown(path.constData(), uid_t(uid), gid_t(gid)), 0);
        } else {
            QVERIFY(QFile::remove(QString::fromLatin1(path)));
        }
        saveCatalogue({entry(QStringLiteral("bash"))});
        FormMain w;
        const QString line = QStringLiteral("deb http://new.example/ s main");
        w.addAptSources(line);
        w.addAptSources(line); // a later run leaves one copy
        QCOMPARE(AptFixture::readAll(QString::fromLatin1(path)),
                 (exists ? QByteArray("deb http://old.example/ s main\n") : QByteArray()) + line.toUtf8() + '\n');
        struct stat st;
        QCOMPARE(::stat(path.constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), mode);
        QCOMPARE(int(st.st_uid), uid);
        QCOMPARE(int(st.st_gid), gid);
        // No temporary file is left next to it.
        QCOMPARE(QDir(QString::fromLatin1(Sys::SourcesDir)).entryList({QStringLiteral("*sources.list?*")},
                                                                       QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // The check keeps its results in memory: files that another user plants where a result could be looked for in
    // /tmp are neither followed, written nor read.
    void plantedFilesAreLeftAlone()
    {
        const QString target = QStringLiteral("/etc/zaviron-precious"), link = QStringLiteral("/tmp/Error.txt");
        const QString foreign = QStringLiteral("/tmp/zv-missing.txt");
        QVERIFY(SafeFile::write(target, "precious\n", SafeFile::Truncate));
        QVERIFY(QFile::link(target, link));
        QVERIFY(SafeFile::write(foreign, "planted by someone else\n", SafeFile::Truncate));
        saveCatalogue({entry(QStringLiteral("zv-missing"))});
        FormMain w;
        runCheck(w);

        QCOMPARE(AptFixture::readAll(target), QByteArray("precious\n"));
        QCOMPARE(AptFixture::readAll(foreign), QByteArray("planted by someone else\n"));
        QCOMPARE(boxes.size(), 1); // no repository data: no question, only the summary
        QCOMPARE(boxes.at(0).count(QStringLiteral("Установка zv-missing невозможна:\n E: ")), 1);
        QVERIFY(!boxes.at(0).contains(QStringLiteral("precious")) && !boxes.at(0).contains(QStringLiteral("planted")));
        QFile::remove(link);
        QFile::remove(foreign);
        QFile::remove(target);
    }

    // No marked row when the list is made: nothing is simulated, the user is told and the window closes.
    void nothingMarkedStopsCleanly()
    {
        saveCatalogue({entry(QStringLiteral("bash")), entry(QStringLiteral("dpkg"))});
        QVERIFY(SafeFile::write(QString::fromLatin1(Sys::LockFile), "1\n", SafeFile::Truncate));
        FormMain w;
        w.show();
        w.ButtonCheck->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 10000);
        QCOMPARE(boxes, QStringList{QStringLiteral("  Не отмечена для установки ни одна из программ! Приложение будет "
                                                   "закрыто.|")});
        QVERIFY(!SafeFile::exists(QString::fromLatin1(Sys::LockFile)));
        QVERIFY(!logText().contains(QStringLiteral("Создан список программ")));
    }
};

QTEST_MAIN(TestCheck)
#include "test_check.moc"

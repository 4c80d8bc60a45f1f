// The start window's checks in the sandbox with the real sed, pidof and package locks, the chain that hands over to
// the main window, the lock file in /tmp, and a second start while this one runs or without a usable instance lock.
#include <QApplication>

#include <fcntl.h>
#include <unistd.h>

#include "tests/support/support.h"

#include "app/formstart.h"
#include "app/messagebox.h"
#include "app/timing.h"
#include "mainwindow/formmain.h"

using Support::logMessages;

namespace {
const QString LockFile = Sys::LockFile, LogFile = Sys::LogFile, SourcesList = Sys::SourcesList;
const QString DpkgLock = Sys::DpkgLock, AptLock = Sys::AptListsLock, InstanceLock = Sys::InstanceLockFile;
const QString Installed = "ПО уже установлено", Marked = "ПО отмечено для установки";
// sources.list before the partner step, and after it: sed takes the leading mark off partner lines only.
const QByteArray Kept = "deb http://a/ main\n# deb http://a/ universe\n# debian partner\n#deb http://a/ partner\n";
const QByteArray Sources = Kept + "# deb http://a/ partner # deb http://b/ partner\n# deb-src http://a/ partner\n";
const QByteArray Enabled = Kept + "deb http://a/ partner # deb http://b/ partner\ndeb-src http://a/ partner\n";
QStringList g_boxes; // the text of every box shown, answered at once

// This test's binary under the program's name, for pidof; it holds an fcntl lock on a file, as dpkg and apt do.
struct Namesake : QProcess {
    explicit Namesake(const QString &lock)
    {
        QFile::copy(QCoreApplication::applicationFilePath(), "/tmp/zaviron");
        start("/tmp/zaviron", {"--hold", lock});
        QVERIFY(waitForReadyRead(10000) && readAllStandardOutput() == "ready\n");
    }
    ~Namesake() override { kill(), waitForFinished(); }
};

// One step of a start window whose own chain is armed far ahead: the lines the step logs.
QStringList runStep(void (FormStart::*step)())
{
    Timing::setScale(1000);
    FormStart start;
    SafeFile::remove(LogFile);
    (start.*step)();
    return logMessages();
}

// The whole chain, with short delays, in the application's loop that ends when the last window closes, as in the
// program. For every main window that opens: the log and the status column at that moment; then it is closed.
QStringList runChain()
{
    QStringList seen;
    Timing::setScale(0.01);
    FormStart start;
    start.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *main = qobject_cast<FormMain *>(QApplication::activeModalWidget());
        if (!main || main->property("zv-seen").toBool())
            return;
        main->setProperty("zv-seen", true);
        seen += logMessages();
        for (int row = 0; row < main->Table->rowCount(); ++row)
            seen << (main->Table->item(row, 4) ? main->Table->item(row, 4)->text() : QString());
        const bool startHidden = !start.isVisible();
        QTest::qWait(300); // the quit asked for when the start window closed must not end the main window
        if (!startHidden || !main->isVisible())
            seen << "<not handed over>";
        main->close();
    });
    poll.start(5);
    QTimer::singleShot(30000, &start, [] { QApplication::closeAllWindows(); }); // should the run hang
    QApplication::exec();
    return seen;
}

} // namespace

class TestStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite touches system paths: run it sandboxed");
        QVERIFY(QDir().mkpath("/tmp/zv-work") && QDir::setCurrent("/tmp/zv-work")); // root's alone, as the catalogue's
        MessageBoxes::setAnswerer([](QMessageBox *box) { return g_boxes << box->text(), int(QMessageBox::Close); });
    }

    // Each case starts from commented partner lines and package lock files, without log, lock file or boxes.
    void init()
    {
        g_boxes.clear();
        QVERIFY(SafeFile::remove(LogFile) && SafeFile::remove(LockFile));
        QVERIFY(SafeFile::write(SourcesList, Sources, SafeFile::Truncate));
        QVERIFY(SafeFile::write(DpkgLock, "", SafeFile::Truncate) && SafeFile::write(AptLock, "", SafeFile::Truncate));
    }

    // The network check reads the links as they are at the time: the rows run in order in this process's network
    // namespace, each adding to what the one before set up. With a link up the chain hands over to the main
    // window, without one it stops.
    void startChain_data()
    {
        QTest::addColumn<QString>("commands"); // for ip, ';' between them
        QTest::addColumn<bool>("online");
        QTest::newRow("no link") << "" << false;
        QTest::newRow("the loopback up") << "link set lo up" << false;
        QTest::newRow("a link with its link-local address alone")
            << "link add zv0 type veth peer name zv1;link set zv0 up;link set zv1 up" << false;
        QTest::newRow("an address on it") << "addr add 192.0.2.1/24 dev zv0" << true;
    }
    void startChain()
    {
        QFETCH(QString, commands);
        QFETCH(bool, online);
        for (const QString &command : commands.split(';', Qt::SkipEmptyParts))
            QCOMPARE(runProgram("ip", command.split(' ')).exitCode, 0);
        CatalogueAccess::write(Sys::CatalogueFile, {CatalogueEntry::fromFields({"Bash", "оболочка", "bash"}),
                                                      CatalogueEntry::fromFields({"Нет", "тест", "zv-missing"})});
        const QStringList seen = runChain();
        if (!online) {
            QCOMPARE(seen, QStringList());
            QCOMPARE(g_boxes, QStringList{"  Отсутствует подключение к Интернету. Запуск программы будет прерван."});
            QCOMPARE(logMessages(), QStringList{"Запуск программы"});
            QVERIFY(SafeFile::exists(DpkgLock) && SafeFile::exists(AptLock) && !SafeFile::exists(LockFile));
            QCOMPARE(Support::readAll(SourcesList), Sources);
            return;
        }
        QCOMPARE(seen, (QStringList{"Запуск программы", "Подключение к Интернету - есть",
                                    "Блокировка " + DpkgLock + " свободна", "Блокировка " + AptLock + " свободна",
                                    "Подключен партнер-репозиторий", "Создан lock-файл", "Проверки завершены", Installed, Marked}));
        QCOMPARE(g_boxes, QStringList());
        QCOMPARE(Support::readAll(SourcesList), Enabled);
        // The package locks stay; the lock file is gone: the main window's way out removes it.
        QVERIFY(SafeFile::exists(DpkgLock) && SafeFile::exists(AptLock) && !SafeFile::exists(LockFile));
    }
    // Only the flock keeps a second start out. While it is free (or this process's), whatever lies at the lock file's
    // name in /tmp is stale, whoever put it there: it gives way (a link itself, never its target) to a plain file of
    // root's holding what pidof says. While it is held, a second start is refused and leaves that file alone, and so
    // it is with the flock's file unusable. Package locks are only looked at: held and by whom, missing (free: chain).
    void instanceLock_data()
    {
        QTest::addColumn<bool>("link"); // at the lock file's name: a link to a file of root's, or a file of nobody's
        QTest::addColumn<QString>("box"); // what a second start then shows; none: only this process starts
        QTest::newRow("file put there by nobody") << false << "";
        QTest::newRow("link to a file of root") << true << "";
        QTest::newRow("lock held by this instance") << false << "  Уже запущен один экземпляр программы. Закройте "
                                                                "запущенную программу и запустите программу снова.";
        QTest::newRow("a folder at the flock's name") << false // the last row: this process's flock is on a removed file
            << "  Не удалось проверить, не запущена ли программа уже: блокировка не получена (" + InstanceLock +
                   ": Is a directory). Запуск программы прерван.";
    }
    void instanceLock()
    {
        QFETCH(bool, link);
        QFETCH(QString, box);
        QVERIFY(Support::writeFile("/etc/zv-root", "keep me\n"));
        QVERIFY(link ? QFile::link("/etc/zv-root", LockFile) : QFile::copy("/etc/zv-root", LockFile) && ::chown(Sys::LockFile, 65534, 65534) == 0);
        Namesake named(DpkgLock);
        QCOMPARE(runStep(&FormStart::checkFileName),
                 QStringList{"Устаревший lock-файл " + LockFile + " заменён: запущенной программы нет"});
        QVERIFY(SafeFile::remove(AptLock));
        QCOMPARE(runStep(&FormStart::deleteAptLock), (QStringList{"Блокировка " + DpkgLock + " занята процессом " +
            QString::number(named.processId()) + " (zaviron)", "Блокировка " + AptLock + " свободна (файла нет)"}));
        QVERIFY(!box.contains(InstanceLock) || (QFile::remove(InstanceLock) && QDir().mkdir(InstanceLock)));
        QProcess again; // a second start (main: --start) prints the text of every box it shows
        if (!box.isEmpty())
            again.start(QCoreApplication::applicationFilePath(), {"--start"});
        again.waitForFinished(20000);
        QCOMPARE(QString(again.readAllStandardOutput()), box.isEmpty() ? box : box + '\n');
        QCOMPARE(g_boxes, QStringList());
        QCOMPARE(QFileInfo(LockFile).isSymLink() || QFileInfo(LockFile).ownerId() != 0, false);
        QCOMPARE(Support::readAll(LockFile) + Support::readAll("/etc/zv-root"),
                 QByteArray::number(named.processId()) + "\nkeep me\n");
        QCOMPARE(SafeFile::exists(DpkgLock), true);
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--hold") == 0) { // a namesake: holds the lock until it is killed
        struct flock lock = {F_WRLCK, SEEK_SET, 0, 0, 0};
        ::dprintf(1, "%s\n", ::fcntl(::open(argv[2], O_RDWR), F_SETLK, &lock) == 0 ? "ready" : "failed");
        return ::pause();
    }
    QApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--start") == 0) {
        Timing::setScale(0.01);
        MessageBoxes::setAnswerer([](QMessageBox *box) { return ::printf("%s\n", qPrintable(box->text())), 0; });
        FormStart start;
        start.show();
        QTimer::singleShot(15000, [] { QApplication::closeAllWindows(); });
        return QApplication::exec();
    }
    TestStart suite;
    return QTest::qExec(&suite, argc, argv);
}

#include "test_start.moc"

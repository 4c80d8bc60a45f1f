// The start window's checks in the sandbox with the real sed and pidof, the chain that hands over to the main
// window, the lock file, and a second start of the program while this one runs.
#include <QApplication>

#include <fcntl.h>
#include <unistd.h>

#include "tests/support/support.h"

#include "app/formstart.h"
#include "app/messagebox.h"
#include "app/timing.h"
#include "catalogue/formadd.h"
#include "mainwindow/formmain.h"

namespace {
const QString LockFile = Sys::LockFile, LogFile = Sys::LogFile, SourcesList = Sys::SourcesList;
const QString DpkgLock = Sys::DpkgLock, AptLock = Sys::AptListsLock;
const QString Installed = "ПО уже установлено", Marked = "ПО отмечено для установки";
// sources.list before the partner step, and after it: sed takes the leading mark off partner lines only.
const QByteArray Kept = "deb http://a/ main\n# deb http://a/ universe\n# debian partner\n#deb http://a/ partner\n";
const QByteArray Sources = Kept + "# deb http://a/ partner # deb http://b/ partner\n# deb-src http://a/ partner\n";
const QByteArray Enabled = Kept + "deb http://a/ partner # deb http://b/ partner\ndeb-src http://a/ partner\n";
QStringList g_boxes; // the text of every box shown, answered at once

// The log's messages; a line without its time stamp shows up as malformed.
QStringList logMessages()
{
    static const QRegularExpression stamp("^\\[\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\]  ");
    QStringList messages;
    for (QString line : Support::logText().split('\n', Qt::SkipEmptyParts))
        messages << (line.contains(stamp) ? line.remove(stamp) : "<malformed> " + line);
    return messages;
}

// This test's binary copied under the program's name, so that pidof finds it. Given a file, it holds an fcntl
// write lock on it, as dpkg and apt do while they work (see main).
struct Namesake : QProcess {
    explicit Namesake(const QString &lock = QString())
    {
        const QString bin = QStringLiteral("/tmp/") + Sys::OwnName;
        QFile::copy(QCoreApplication::applicationFilePath(), bin);
        start(bin, {"--hold", lock});
        ready = waitForReadyRead(10000) && readAllStandardOutput() == "ready\n";
    }
    ~Namesake() override
    {
        kill();
        waitForFinished();
    }
    QByteArray pidLine() const { return QByteArray::number(processId()) + '\n'; }
    bool ready = false;
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

const QString SecondInstance = "  Уже запущен один экземпляр программы. Закройте запущенную программу, блокирующий "
                               "файл: /tmp/zaviron.lock удаляется.";
// A second start of the program: it prints the text of every box it shows and ends when its windows have closed.
int secondStart()
{
    Timing::setScale(0.01);
    MessageBoxes::setAnswerer([](QMessageBox *box) { return ::printf("%s\n", qPrintable(box->text())), 0; });
    FormStart start;
    start.show();
    QTimer::singleShot(15000, [] { QApplication::closeAllWindows(); });
    return QApplication::exec();
}

QString startAgain()
{
    QProcess again;
    again.start(QCoreApplication::applicationFilePath(), {"--start"});
    return again.waitForFinished(20000) ? again.readAllStandardOutput() : "<not ended>";
}
} // namespace

class TestStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite touches system paths: run it sandboxed");
        // The catalogue lies in the working folder: one of root's alone, in the sandbox's own /tmp.
        QVERIFY(QDir().mkpath("/tmp/zv-work") && QDir::setCurrent("/tmp/zv-work"));
        MessageBoxes::setAnswerer([](QMessageBox *box) {
            g_boxes << box->text();
            return int(QMessageBox::Close);
        });
    }

    // Each case starts from commented partner lines and stale package locks, without log, lock file or boxes.
    void init()
    {
        g_boxes.clear();
        for (const QString &path : {LogFile, LockFile})
            SafeFile::remove(path);
        QVERIFY(SafeFile::write(SourcesList, Sources, SafeFile::Truncate));
        QVERIFY(SafeFile::write(DpkgLock, "", SafeFile::Truncate) && SafeFile::write(AptLock, "", SafeFile::Truncate));
    }

    // A second start is refused; what lies at the lock file's path is removed, a link itself and never its target.
    // The lock step then puts a plain file of its own in its place, holding what pidof says.
    void plantedLockFile_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<QString>("target"); // a file of root's
        QTest::newRow("lock file of a running instance") << "copy" << "/etc/zv-root";
        QTest::newRow("link to a file of root") << "link" << "/etc/zv-root";
        QTest::newRow("hard link") << "hard link" << "/tmp/zv-root"; // it cannot leave the file system of /tmp
    }
    void plantedLockFile()
    {
        QFETCH(QString, planted);
        QFETCH(QString, target);
        const QByteArray lock = QFile::encodeName(LockFile), to = QFile::encodeName(target);
        const auto plant = [&] {
            return planted == "copy" ? QFile::copy(target, LockFile)
                                     : planted == "link" ? QFile::link(target, LockFile) : ::link(to, lock) == 0;
        };
        QVERIFY(Support::writeFile(target, "keep me\n") && plant());
        QCOMPARE(runChain(), QStringList()); // no main window
        QCOMPARE(g_boxes, QStringList{SecondInstance});
        QVERIFY(!SafeFile::exists(LockFile));
        QCOMPARE(logMessages(), QStringList{"Запуск программы"});
        QVERIFY(plant());
        Namesake named;
        QCOMPARE(runStep(&FormStart::openLockFile), QStringList{"Создан lock-файл"});
        QVERIFY(!QFileInfo(LockFile).isSymLink());
        QCOMPARE(Support::readAll(LockFile), named.pidLine());
        QCOMPARE(Support::readAll(target), QByteArray("keep me\n"));
    }

    void packageLocks_data()
    {
        QTest::addColumn<QString>("held"); // the lock a live process holds; the other one is stale
        QTest::addColumn<QStringList>("left");
        QTest::newRow("dpkg lock held: the apt lock is not tried") << DpkgLock << QStringList{DpkgLock, AptLock};
        QTest::newRow("apt lock held") << AptLock << QStringList{AptLock};
    }
    void packageLocks()
    {
        QFETCH(QString, held);
        QFETCH(QStringList, left);
        Namesake holder(held);
        QVERIFY(holder.ready);
        QCOMPARE(runStep(&FormStart::deleteAptLock), QStringList()); // it ends at a held lock, without its line
        QCOMPARE(SafeFile::exists(DpkgLock), left.contains(DpkgLock));
        QCOMPARE(SafeFile::exists(AptLock), left.contains(AptLock));
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
        CatalogueCodec::saveFile(Sys::CatalogueFile, {CatalogueEntry::fromFields({"Bash", "оболочка", "bash"}),
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
                                    "Apt- и dpkg-блокировок удалены", "Подключен партнер-репозиторий",
                                    "Создан lock-файл", "Проверки завершены", Installed, Marked}));
        QCOMPARE(g_boxes, QStringList());
        QCOMPARE(Support::readAll(SourcesList), Enabled);
        // The package locks are gone, and the lock file too: the main window's way out removes it.
        QVERIFY(!SafeFile::exists(DpkgLock) && !SafeFile::exists(AptLock) && !SafeFile::exists(LockFile));
    }
    // The first instance (this process) holds the lock from its start window on. A second start is refused while
    // its main window is open, and leaves its lock file in /tmp; and while its entry dialog is open, after the
    // main window's way out has removed that file.
    void secondStartRefused()
    {
        Support::WorkDir work;
        g_boxes.clear();
        Timing::setScale(1000); // no step of the chain runs by itself
        FormStart start;
        start.checkFileName();
        QVERIFY(Support::writeFile(Sys::LockFile, "4242\n"));
        auto *main = new FormMain();
        QCOMPARE(startAgain(), SecondInstance + '\n');
        QCOMPARE(Support::readAll(Sys::LockFile), QByteArray("4242\n"));
        QString inDialog;
        QTimer::singleShot(0, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            inDialog = qobject_cast<FormAdd *>(dialog) ? startAgain() : "<no add dialog>";
            if (dialog)
                dialog->close();
        });
        main->ButtonAdd->click();
        QCOMPARE(inDialog, SecondInstance + '\n');
        QCOMPARE(g_boxes, QStringList());
        delete main;
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--hold") == 0) { // a namesake: holds the lock until it is killed
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        const int fd = *argv[2] ? ::open(argv[2], O_RDWR) : -1;
        ::dprintf(1, "%s\n", !*argv[2] || ::fcntl(fd, F_SETLK, &lock) == 0 ? "ready" : "failed");
        ::pause();
        return 0;
    }
    QApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--start") == 0)
        return secondStart();
    TestStart suite;
    return QTest::qExec(&suite, argc, argv);
}

#include "test_start.moc"

// The start window's pre-flight chain in the sandbox, with the real sed, pidof and dpkg: the chain from the first
// step to the main window, the log it writes, the second-instance and no-network boxes, stale and held package
// locks, the partner lines of sources.list, the lock file and links planted in its place. Then the main window's
// start-up status rows for installed, missing and hostile package fields, and its running text.
//
// Built twice: in a sandbox with a network the chain runs through; in one without, the no-network branch.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimeLine>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/formstart.h"
#include "app/messagebox.h"
#include "app/process.h"
#include "app/safefile.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "catalogue/cataloguecodec.h"
#include "mainwindow/formmain.h"
#include "mainwindow/packagestatus.h"

struct FormMainProbe {
    static void setRunningText(FormMain *w, const QString &text) { w->runningText = text; }
    static void setSpeed(FormMain *w, int speed) { QMetaObject::invokeMethod(w, "setSpeed", Q_ARG(int, speed)); }
};

namespace {

const QString LockFile = QString::fromLatin1(Sys::LockFile);
const QString LogFile = QString::fromLatin1(Sys::LogFile);
const QString SourcesList = QString::fromLatin1(Sys::SourcesList);
const QString DpkgLock = QString::fromLatin1(Sys::DpkgLock);
const QString AptLock = QString::fromLatin1(Sys::AptListsLock);
const QString Marker = QStringLiteral("/tmp/zv-marker");

// The six lines of a clean start, in their order.
const QStringList CleanStartLog = {
    QStringLiteral("Запуск программы"),           QStringLiteral("Подключение к Интернету - есть"),
    QStringLiteral("Apt- и dpkg-блокировок удалены"), QStringLiteral("Подключен партнер-репозиторий"),
    QStringLiteral("Создан lock-файл"),           QStringLiteral("Проверки завершены")};

const double HeldChain = 1000.0; // the next step is armed 25 minutes ahead: a test calls the steps itself
const double QuickChain = 0.01;  // the whole chain in about 0.1 s

struct Box {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QString informative;
    QStringList buttons;
};
QList<Box> g_boxes;

int answerBox(QMessageBox *box)
{
    QStringList buttons;
    for (QAbstractButton *b : box->buttons())
        buttons << b->text();
    g_boxes << Box{box->icon(), box->windowTitle(), box->text(), box->informativeText(), buttons};
    return QMessageBox::Close;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The messages of the log, each line checked for its stamp; a line of another shape fails the comparison.
QStringList logMessages()
{
    static const QRegularExpression line(
        QStringLiteral("^\\[\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\]  (.*)$"));
    QStringList messages;
    const QString text = QString::fromUtf8(readAll(LogFile));
    if (text.isEmpty())
        return messages;
    if (!text.endsWith(QLatin1Char('\n')))
        messages << QStringLiteral("<log does not end with a line break>");
    for (const QString &l : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = line.match(l);
        messages << (m.hasMatch() ? m.captured(1) : QStringLiteral("<malformed> ") + l);
    }
    return messages;
}

bool isRegularFile(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

FormMain *visibleMainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *main = qobject_cast<FormMain *>(w))
            if (main->isVisible())
                return main;
    return nullptr;
}

void deleteMainWindows()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<FormMain *>(w))
            delete w;
}

// A process that is not this one holds an fcntl lock on the file, as dpkg and apt do while they work.
struct LockHolder {
    pid_t pid = -1;

    bool hold(const QString &path, short type)
    {
        const QByteArray native = QFile::encodeName(path);
        int ready[2];
        if (::pipe(ready) != 0)
            return false;
        pid = ::fork();
        if (pid == 0) {
            // Only async-signal-safe calls in the child of a threaded program.
            const int fd = ::open(native.constData(), O_RDWR);
            struct flock lock = {};
            lock.l_type = type;
            lock.l_whence = SEEK_SET;
            const char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? '1' : '0';
            if (::write(ready[1], &ok, 1) != 1)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char ok = '0';
        const bool answered = pid > 0 && ::read(ready[0], &ok, 1) == 1;
        ::close(ready[0]);
        return answered && ok == '1';
    }

    ~LockHolder()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

// The process that holds a lock on the file, or 0.
pid_t lockOwner(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return 0;
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    const bool ok = ::fcntl(fd, F_GETLK, &probe) == 0;
    ::close(fd);
    return ok && probe.l_type != F_UNLCK ? probe.l_pid : 0;
}

// Stand-ins that pidof finds under the program's name: copies of sleep called zaviron.
struct NamedProcesses {
    QList<QProcess *> processes;

    explicit NamedProcesses(int count)
    {
        const QString bin = QStringLiteral("/tmp/zv-bin/") + QString::fromLatin1(Sys::OwnName);
        QDir().mkpath(QStringLiteral("/tmp/zv-bin"));
        if (!QFile::exists(bin))
            QFile::copy(QStringLiteral("/bin/sleep"), bin);
        for (int i = 0; i < count; ++i) {
            auto *p = new QProcess();
            p->start(bin, {QStringLiteral("60")});
            p->waitForStarted();
            processes << p;
        }
    }

    QList<qint64> pids() const
    {
        QList<qint64> list;
        for (QProcess *p : processes)
            list << p->processId();
        std::sort(list.begin(), list.end());
        return list;
    }

    ~NamedProcesses()
    {
        for (QProcess *p : processes) {
            p->kill();
            p->waitForFinished();
            delete p;
        }
    }
};

// The process IDs in the lock file; the file must hold one line as pidof prints it, or nothing at all.
QList<qint64> pidsIn(const QByteArray &content, bool *wellFormed)
{
    QList<qint64> pids;
    *wellFormed = content.isEmpty() || (content.endsWith('\n') && content.count('\n') == 1);
    for (const QByteArray &word : content.simplified().split(' '))
        if (!word.isEmpty())
            pids << word.toLongLong();
    std::sort(pids.begin(), pids.end());
    return pids;
}

bool hasActiveLink()
{
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if (!(flags & QNetworkInterface::IsLoopBack) && (flags & QNetworkInterface::IsUp) &&
            (flags & QNetworkInterface::IsRunning))
            return true;
    }
    return false;
}

QString run(const QString &program, const QStringList &args)
{
    return QString::fromUtf8(runProgram(program, args).out).trimmed();
}

} // namespace

// The suites share the sandbox folder set-up: a fresh working folder, no log, no lock file, no boxes.
class StartSuite : public QObject
{
    Q_OBJECT

protected:
    QTemporaryDir *dir = nullptr;
    QString oldDir;

    void setUpCase()
    {
        g_boxes.clear();
        Timing::setScale(1.0);
        dir = new QTemporaryDir();
        oldDir = QDir::currentPath();
        QDir::setCurrent(dir->path());
        CatalogueCodec::saveFile(QString::fromLatin1(Sys::CatalogueFile), {});
        SafeFile::remove(LogFile);
        SafeFile::remove(LockFile);
        SafeFile::remove(Marker);
    }

    void tearDownCase()
    {
        deleteMainWindows();
        Timing::setScale(1.0);
        QDir::setCurrent(oldDir);
        delete dir;
        dir = nullptr;
    }

    // Runs the chain from the constructor on, with short delays, until the start window has closed; returns how
    // many main windows opened meanwhile (each is closed at once).
    int runChain()
    {
        Timing::setScale(QuickChain);
        int mainWindows = 0;
        FormStart start;
        start.show();
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, [&] {
            if (FormMain *main = visibleMainWindow()) {
                ++mainWindows;
                main->close();
            }
        });
        poll.start();
        // The whole chain would take about 0.1 s: wait well past that, then for the window to close.
        QTest::qWait(600);
        const bool closed = QTest::qWaitFor([&] { return !start.isVisible(); }, 20000);
        return closed ? mainWindows : -1;
    }
};

class TestStart : public StartSuite
{
    Q_OBJECT

    QString nativeArch;
    QString foreignArch;
    QTemporaryDir packages;

    bool buildPackage(const QString &name, const QString &arch, const QByteArray &postinst, bool conffile)
    {
        const QString root = packages.filePath(name + QLatin1Char('_') + arch);
        QDir().mkpath(root + QStringLiteral("/DEBIAN"));
        QDir().mkpath(root + QStringLiteral("/usr/share/doc/") + name);
        QByteArray control = "Package: " + name.toUtf8() + "\nVersion: 1.0\nArchitecture: " + arch.toUtf8() +
                             "\nMaintainer: Test <test@example.org>\nDescription: test package\n"
                             " Its status is what the tests look at.\n";
        if (arch != QStringLiteral("all"))
            control += "Multi-Arch: same\n";
        bool ok = SafeFile::write(root + QStringLiteral("/DEBIAN/control"), control, SafeFile::Truncate) &&
                  SafeFile::write(root + QStringLiteral("/usr/share/doc/") + name + QStringLiteral("/") + arch,
                                  "x\n", SafeFile::Truncate);
        if (conffile) {
            QDir().mkpath(root + QStringLiteral("/etc"));
            ok = ok && SafeFile::write(root + QStringLiteral("/etc/") + name + QStringLiteral(".conf"), "a=1\n",
                                       SafeFile::Truncate) &&
                 SafeFile::write(root + QStringLiteral("/DEBIAN/conffiles"),
                                 "/etc/" + name.toUtf8() + ".conf\n", SafeFile::Truncate);
        }
        if (!postinst.isEmpty()) {
            const QString script = root + QStringLiteral("/DEBIAN/postinst");
            ok = ok && SafeFile::write(script, postinst, SafeFile::Truncate) &&
                 QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                   QFile::ExeOther);
        }
        if (!ok)
            return false;
        const ProcessResult build = runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("--build"),
                                                                            QStringLiteral("--root-owner-group"), root,
                                                                            root + QStringLiteral(".deb")});
        if (build.exitCode != 0)
            qWarning("%s", build.err.constData());
        return build.exitCode == 0;
    }

    int dpkg(const QStringList &args) { return runProgram(QStringLiteral("dpkg"), args, 120000).exitCode; }

    QString debOf(const QString &name, const QString &arch) const
    {
        return packages.filePath(name + QLatin1Char('_') + arch + QStringLiteral(".deb"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"),
                 "this suite touches system paths: run it in the sandbox");
        MessageBoxes::setAnswerer(answerBox);
        // Until the last test, a window that closes must not end anything.
        QApplication::setQuitOnLastWindowClosed(false);

        nativeArch = run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
        QVERIFY(!nativeArch.isEmpty());
        foreignArch = nativeArch == QStringLiteral("i386") ? QStringLiteral("amd64") : QStringLiteral("i386");
        QCOMPARE(dpkg({QStringLiteral("--add-architecture"), foreignArch}), 0);

        // Installed and then removed, its configuration file kept: "deinstall ok config-files".
        QVERIFY(buildPackage(QStringLiteral("zv-conf"), QStringLiteral("all"), QByteArray(), true));
        QCOMPARE(dpkg({QStringLiteral("-i"), debOf(QStringLiteral("zv-conf"), QStringLiteral("all"))}), 0);
        QCOMPARE(dpkg({QStringLiteral("-r"), QStringLiteral("zv-conf")}), 0);
        // Its configuration fails: "install ok half-configured".
        QVERIFY(buildPackage(QStringLiteral("zv-half"), QStringLiteral("all"), "#!/bin/sh\nexit 1\n", false));
        QVERIFY(dpkg({QStringLiteral("-i"), debOf(QStringLiteral("zv-half"), QStringLiteral("all"))}) != 0);
        // Both architectures installed, the native one removed again, its configuration kept: two instances.
        QVERIFY(buildPackage(QStringLiteral("zv-multi"), nativeArch, QByteArray(), true));
        QVERIFY(buildPackage(QStringLiteral("zv-multi"), foreignArch, QByteArray(), true));
        QCOMPARE(dpkg({QStringLiteral("-i"), debOf(QStringLiteral("zv-multi"), nativeArch),
                       debOf(QStringLiteral("zv-multi"), foreignArch)}),
                 0);
        QCOMPARE(dpkg({QStringLiteral("-r"), QStringLiteral("zv-multi:") + nativeArch}), 0);

        const QString conf = run(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("-f=${Status}"),
                                                                QStringLiteral("zv-conf")});
        QCOMPARE(conf, QStringLiteral("deinstall ok config-files"));
        // Two instances under one name: dpkg -s refuses the name as ambiguous.
        const QString multi = run(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("-f=${Status}\n"),
                                                                 QStringLiteral("zv-multi")});
        QCOMPARE(multi, QStringLiteral("deinstall ok config-files\ninstall ok installed"));
    }

    void init() { setUpCase(); }
    void cleanup() { tearDownCase(); }

    void eachStepShowsItsTextAndWritesItsLine_data()
    {
        QTest::addColumn<QByteArray>("slot"); // empty: the constructor's own first step
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<bool>("sweeps");

        QTest::newRow("initialisation") << QByteArray() << QStringLiteral("Инициализация программы...")
                                        << QStringList{QStringLiteral("Запуск программы")} << true;
        QTest::newRow("instance check") << QByteArray("checkFileName")
                                        << QStringLiteral("Проверка наличия запущенной программы...") << QStringList()
                                        << true;
        QTest::newRow("network check") << QByteArray("checkInternet")
                                       << QStringLiteral("Проверка подключения к Интернету...")
                                       << QStringList{QStringLiteral("Подключение к Интернету - есть")} << true;
        QTest::newRow("package locks") << QByteArray("deleteAptLock")
                                       << QStringLiteral("Удаление apt- и dpkg-блокировок ...")
                                       << QStringList{QStringLiteral("Apt- и dpkg-блокировок удалены")} << true;
        QTest::newRow("partner repository") << QByteArray("addPartnerRepo")
                                            << QStringLiteral("Добавление партнер-репозитория ...")
                                            << QStringList{QStringLiteral("Подключен партнер-репозиторий")} << true;
        QTest::newRow("lock file") << QByteArray("openLockFile") << QStringLiteral("Создание файла блокировки ...")
                                   << QStringList{QStringLiteral("Создан lock-файл")} << true;
        QTest::newRow("finishing") << QByteArray("stopProg") << QStringLiteral("Проверки завершены, закрытие окна ...")
                                   << QStringList{QStringLiteral("Проверки завершены")} << false;
    }

    void eachStepShowsItsTextAndWritesItsLine()
    {
        QFETCH(QByteArray, slot);
        QFETCH(QString, format);
        QFETCH(QStringList, log);
        QFETCH(bool, sweeps);

        QVERIFY(SafeFile::write(SourcesList, "deb http://archive.example.org/ubuntu jammy main\n", SafeFile::Truncate));
        Timing::setScale(HeldChain);
        FormStart start;
        QCOMPARE(start.progressBar->minimum(), 0);
        QCOMPARE(start.progressBar->maximum(), 100);
        if (!slot.isEmpty()) {
            // Stop the first step's sweep, so that only the step under test moves the bar.
            for (QTimeLine *t : start.findChildren<QTimeLine *>())
                t->stop();
            start.progressBar->setValue(0);
            SafeFile::remove(LogFile);
            QVERIFY(QMetaObject::invokeMethod(&start, slot.constData()));
        }
        QCOMPARE(start.progressBar->format(), format);
        QCOMPARE(logMessages(), log);
        QCOMPARE(g_boxes.size(), 0);

        QList<QTimeLine *> running;
        for (QTimeLine *t : start.findChildren<QTimeLine *>())
            if (t->state() == QTimeLine::Running)
                running << t;
        if (sweeps) {
            QCOMPARE(running.size(), 1);
            QCOMPARE(running.at(0)->duration(), 1500);
            QCOMPARE(running.at(0)->startFrame(), 0);
            QCOMPARE(running.at(0)->endFrame(), 100);
            QTRY_VERIFY(start.progressBar->value() > 0);
        } else {
            QVERIFY(running.isEmpty());
            QTest::qWait(200);
            QCOMPARE(start.progressBar->value(), 0);
        }
        QCOMPARE(start.progressBar->format(), format); // the text stays while the value moves
    }

    void secondInstanceIsRefused_data()
    {
        QTest::addColumn<QString>("planted"); // what lies at the lock file's path
        QTest::newRow("lock file of a running instance") << QStringLiteral("file");
        QTest::newRow("empty lock file") << QStringLiteral("empty");
        QTest::newRow("link to another file") << QStringLiteral("link");
        QTest::newRow("dangling link") << QStringLiteral("dangling");
    }

    void secondInstanceIsRefused()
    {
        QFETCH(QString, planted);
        const QString target = QStringLiteral("/etc/zv-target");
        QVERIFY(SafeFile::write(target, "keep me\n", SafeFile::Truncate));
        if (planted == QStringLiteral("file"))
            QVERIFY(SafeFile::write(LockFile, "4242\n", SafeFile::Truncate));
        else if (planted == QStringLiteral("empty"))
            QVERIFY(SafeFile::write(LockFile, QByteArray(), SafeFile::Truncate));
        else if (planted == QStringLiteral("link"))
            QVERIFY(QFile::link(target, LockFile));
        else
            QVERIFY(QFile::link(QStringLiteral("/etc/zv-nowhere"), LockFile));

        QCOMPARE(runChain(), 0); // the start window closed, and no main window opened

        QCOMPARE(g_boxes.size(), 1);
        const Box &box = g_boxes.at(0);
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.title, QStringLiteral("УСТАНОВКА ДОПОЛНИТЕЛЬНОГО ПО В UBUNTU"));
        QCOMPARE(box.text, QStringLiteral("  Уже запущен один экземпляр программы. Закройте запущенную программу, "
                                          "блокирующий файл: /tmp/zaviron.lock удаляется."));
        QCOMPARE(box.informative,
                 QStringLiteral("<b><font color=#AA0000>  Эта проблема требует перезапуска программы. </font></b>"));
        QCOMPARE(box.buttons, QStringList{QStringLiteral("Закрыть")});

        QVERIFY(!SafeFile::exists(LockFile));
        QCOMPARE(readAll(target), QByteArray("keep me\n")); // a link is removed itself, never its target
        QVERIFY(!QFileInfo::exists(QStringLiteral("/etc/zv-nowhere")));
        QCOMPARE(logMessages(), QStringList{QStringLiteral("Запуск программы")});

        // The next start passes the check.
        Timing::setScale(HeldChain);
        FormStart again;
        again.checkFileName();
        QCOMPARE(g_boxes.size(), 1);
        SafeFile::remove(target);
    }

    void packageLocks_data()
    {
        QTest::addColumn<QString>("dpkgLock"); // absent, stale, held (write lock) or shared (read lock)
        QTest::addColumn<QString>("aptLock");
        QTest::addColumn<bool>("dpkgLockStays");
        QTest::addColumn<bool>("aptLockStays");
        QTest::addColumn<bool>("logged");

        QTest::newRow("no lock files") << "absent" << "absent" << false << false << true;
        QTest::newRow("both stale") << "stale" << "stale" << false << false << true;
        QTest::newRow("only the dpkg lock, stale") << "stale" << "absent" << false << false << true;
        QTest::newRow("only the apt lock, stale") << "absent" << "stale" << false << false << true;
        // A lock held by a live process is that process's: the step ends there, without its line.
        QTest::newRow("dpkg lock held: the apt lock is not tried") << "held" << "stale" << true << true << false;
        QTest::newRow("dpkg lock under a read lock") << "shared" << "absent" << true << false << false;
        QTest::newRow("apt lock held") << "stale" << "held" << false << true << false;
        QTest::newRow("apt lock held, no dpkg lock") << "absent" << "held" << false << true << false;
        QTest::newRow("both held") << "held" << "held" << true << true << false;
    }

    void packageLocks()
    {
        QFETCH(QString, dpkgLock);
        QFETCH(QString, aptLock);
        QFETCH(bool, dpkgLockStays);
        QFETCH(bool, aptLockStays);
        QFETCH(bool, logged);

        LockHolder dpkgHolder, aptHolder;
        const struct {
            const QString &path;
            const QString &state;
            LockHolder &holder;
        } locks[] = {{DpkgLock, dpkgLock, dpkgHolder}, {AptLock, aptLock, aptHolder}};
        for (const auto &lock : locks) {
            SafeFile::remove(lock.path);
            if (lock.state == QStringLiteral("absent"))
                continue;
            QVERIFY(SafeFile::write(lock.path, QByteArray(), SafeFile::Truncate));
            if (lock.state == QStringLiteral("held"))
                QVERIFY(lock.holder.hold(lock.path, F_WRLCK));
            else if (lock.state == QStringLiteral("shared"))
                QVERIFY(lock.holder.hold(lock.path, F_RDLCK));
        }

        Timing::setScale(HeldChain);
        FormStart start;
        SafeFile::remove(LogFile);
        start.deleteAptLock();

        QCOMPARE(SafeFile::exists(DpkgLock), dpkgLockStays);
        QCOMPARE(SafeFile::exists(AptLock), aptLockStays);
        QCOMPARE(logMessages(),
                 logged ? QStringList{QStringLiteral("Apt- и dpkg-блокировок удалены")} : QStringList());
        // The holders still hold their locks on the very files they opened.
        for (const auto &lock : locks)
            if (lock.state == QStringLiteral("held") || lock.state == QStringLiteral("shared"))
                QCOMPARE(qint64(lockOwner(lock.path)), qint64(lock.holder.pid));
    }

    void partnerLines_data()
    {
        QTest::addColumn<QByteArray>("before"); // empty: no sources.list at all
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<bool>("logged");

        QTest::newRow("commented partner lines are enabled")
            << QByteArray("deb http://archive.ubuntu.com/ubuntu jammy main\n"
                          "# deb http://archive.canonical.com/ubuntu jammy partner\n"
                          "# deb-src http://archive.canonical.com/ubuntu jammy partner\n")
            << QByteArray("deb http://archive.ubuntu.com/ubuntu jammy main\n"
                          "deb http://archive.canonical.com/ubuntu jammy partner\n"
                          "deb-src http://archive.canonical.com/ubuntu jammy partner\n")
            << true;
        QTest::newRow("only the leading mark goes")
            << QByteArray("# deb http://x/ partner # deb http://y/ partner\n")
            << QByteArray("deb http://x/ partner # deb http://y/ partner\n") << true;
        QTest::newRow("partner anywhere after deb")
            << QByteArray("# deb http://mirror/partner-archive jammy main\n")
            << QByteArray("deb http://mirror/partner-archive jammy main\n") << true;
        const QByteArray untouched = "## deb http://archive.canonical.com/ubuntu jammy partner\n"
                                     "#deb http://archive.canonical.com/ubuntu jammy partner\n"
                                     " # deb http://archive.canonical.com/ubuntu jammy partner\n"
                                     "# deb http://archive.ubuntu.com/ubuntu jammy universe\n"
                                     "# debian partner\n"
                                     "# partner: deb http://archive.canonical.com/ubuntu jammy\n"
                                     "# See http://help.ubuntu.com/community/UpgradeNotes for the partner lines\n"
                                     "deb http://archive.canonical.com/ubuntu jammy partner\n";
        QTest::newRow("every other line stays as it is") << untouched << untouched << true;
        QTest::newRow("empty file") << QByteArray("\n") << QByteArray("\n") << true;
        QTest::newRow("no sources.list") << QByteArray() << QByteArray() << false;
    }

    void partnerLines()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(bool, logged);

        SafeFile::remove(SourcesList);
        if (!before.isEmpty())
            QVERIFY(SafeFile::write(SourcesList, before, SafeFile::Truncate));
        Timing::setScale(HeldChain);
        FormStart start;
        SafeFile::remove(LogFile);
        start.addPartnerRepo();

        QCOMPARE(QFileInfo::exists(SourcesList), !before.isEmpty());
        QCOMPARE(readAll(SourcesList), after);
        QCOMPARE(logMessages(), logged ? QStringList{QStringLiteral("Подключен партнер-репозиторий")} : QStringList());
    }

    void lockFile_data()
    {
        QTest::addColumn<QString>("planted"); // what lies at the path before the step
        QTest::addColumn<int>("instances");   // processes named like the program
        QTest::addColumn<bool>("created");

        QTest::newRow("nothing, one instance") << "nothing" << 1 << true;
        QTest::newRow("nothing, no instance: an empty file") << "nothing" << 0 << true;
        QTest::newRow("two instances") << "nothing" << 2 << true;
        QTest::newRow("a longer old file is truncated") << "file" << 1 << true;
        QTest::newRow("link to a file of root") << "link" << 1 << true;
        QTest::newRow("dangling link") << "dangling" << 1 << true;
        QTest::newRow("a folder in the way") << "folder" << 1 << false;
    }

    void lockFile()
    {
        QFETCH(QString, planted);
        QFETCH(int, instances);
        QFETCH(bool, created);

        const QString target = QStringLiteral("/etc/zv-victim");
        const QString nowhere = QStringLiteral("/etc/zv-created-through-link");
        QVERIFY(SafeFile::write(target, "root:x:0:0\n", SafeFile::Truncate));
        SafeFile::remove(nowhere);
        if (planted == QStringLiteral("file"))
            QVERIFY(SafeFile::write(LockFile, "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n", SafeFile::Truncate));
        else if (planted == QStringLiteral("link"))
            QVERIFY(QFile::link(target, LockFile));
        else if (planted == QStringLiteral("dangling"))
            QVERIFY(QFile::link(nowhere, LockFile));
        else if (planted == QStringLiteral("folder"))
            QVERIFY(QDir().mkdir(LockFile));

        NamedProcesses named(instances);
        Timing::setScale(HeldChain);
        FormStart start;
        SafeFile::remove(LogFile);
        start.openLockFile();

        QCOMPARE(readAll(target), QByteArray("root:x:0:0\n"));
        QVERIFY(!SafeFile::exists(nowhere));
        QCOMPARE(logMessages(), created ? QStringList{QStringLiteral("Создан lock-файл")} : QStringList());
        if (created) {
            QVERIFY(isRegularFile(LockFile));
            bool wellFormed = false;
            QCOMPARE(pidsIn(readAll(LockFile), &wellFormed), named.pids());
            QVERIFY2(wellFormed, readAll(LockFile).constData());
        } else {
            QVERIFY(QFileInfo(LockFile).isDir());
            QDir().rmdir(LockFile);
        }
        SafeFile::remove(LockFile);
        SafeFile::remove(target);
    }

    void statusRows_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("state"); // installed, marked or rejected

        const QString native = run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
        const QString foreign = native == QStringLiteral("i386") ? QStringLiteral("amd64") : QStringLiteral("i386");

        QTest::newRow("installed package") << "bash" << "installed";
        QTest::newRow("installed package in capitals") << "BASH" << "installed";
        QTest::newRow("installed package with its architecture") << "bash:" + native << "installed";
        QTest::newRow("installed package, another architecture") << "bash:" + foreign << "marked";
        QTest::newRow("package nobody has") << "zv-missing" << "marked";
        QTest::newRow("removed, configuration kept") << "zv-conf" << "marked";
        QTest::newRow("configuration failed") << "zv-half" << "marked";
        // Known for two architectures, installed for one of them.
        QTest::newRow("two architectures, one installed") << "zv-multi" << "installed";
        QTest::newRow("two architectures, the installed one named") << "zv-multi:" + foreign << "installed";
        QTest::newRow("two architectures, the removed one named") << "zv-multi:" + native << "marked";
        QTest::newRow("two architectures, in capitals") << "ZV-Multi" << "installed";
        // One word that dpkg refuses: it must not spoil the query for the other rows.
        QTest::newRow("architecture dpkg refuses") << "bash:-x" << "marked";
        QTest::newRow("shell command without blanks") << "x;touch${IFS}" + Marker << "marked";
        QTest::newRow("command substitution without blanks") << "$(touch${IFS}" + Marker + ")" << "marked";
        QTest::newRow("backquotes without blanks") << "`touch${IFS}" + Marker + "`" << "marked";
        QTest::newRow("option for dpkg") << "--admindir=/tmp" << "marked";
        // Not a single word.
        QTest::newRow("shell command") << "x;touch " + Marker << "rejected";
        QTest::newRow("command substitution") << "$(touch " + Marker + ")" << "rejected";
        QTest::newRow("two names") << "gimp inkscape" << "rejected";
        QTest::newRow("empty field") << "" << "rejected";
        QTest::newRow("markup is shown as written") << "<b>a b</b>" << "rejected";
    }

    void statusRows()
    {
        QFETCH(QString, field);
        QFETCH(QString, state);

        // Every row comes with an installed neighbour, which must come out right whatever its neighbour holds.
        CatalogueCodec::saveFile(QString::fromLatin1(Sys::CatalogueFile),
                                 {CatalogueEntry::fromFields({QStringLiteral("Поле"), QStringLiteral("тест"), field}),
                                  CatalogueEntry::fromFields(
                                      {QStringLiteral("Bash"), QStringLiteral("оболочка"), QStringLiteral("bash")})});
        QScopedPointer<FormMain> w(new FormMain());
        QCOMPARE(w->Table->rowCount(), 2);
        QVERIFY(!QFileInfo::exists(Marker));

        for (int row = 0; row < 2; ++row) {
            const QString expected = row == 0 ? state : QStringLiteral("installed");
            QTableWidgetItem *select = w->Table->item(row, 0);
            QTableWidgetItem *status = w->Table->item(row, 4);
            QVERIFY(select);
            if (expected == QStringLiteral("rejected")) {
                QCOMPARE(select->text(), QString());
                QVERIFY(!select->data(Qt::CheckStateRole).isValid()); // no check box at all
                QVERIFY(!status);
                QVERIFY(!w->Table->cellWidget(row, 3));
                continue;
            }
            QVERIFY(status);
            QCOMPARE(status->font().pointSize(), 8);
            QCOMPARE(status->textAlignment(), int(Qt::AlignHCenter | Qt::AlignVCenter));
            if (expected == QStringLiteral("installed")) {
                QCOMPARE(select->text(), QStringLiteral("Нет"));
                QCOMPARE(select->checkState(), Qt::Unchecked);
                QCOMPARE(select->foreground().color(), QColor(0, 0, 180));
                QCOMPARE(select->flags(), Qt::ItemFlags(Qt::ItemIsEnabled));
                QCOMPARE(status->text(), QStringLiteral("ПО уже установлено"));
                QCOMPARE(status->foreground().color(), QColor(0, 0, 127));
                QVERIFY(!w->Table->cellWidget(row, 3));
            } else {
                QCOMPARE(select->text(), QStringLiteral("Да"));
                QCOMPARE(select->checkState(), Qt::Checked);
                QCOMPARE(select->foreground().color(), QColor(11, 127, 107));
                QVERIFY(select->flags() & Qt::ItemIsUserCheckable);
                QCOMPARE(status->text(), QStringLiteral("ПО отмечено для установки"));
                QCOMPARE(status->foreground().color(), QColor(11, 127, 107));
                auto *bar = qobject_cast<QProgressBar *>(w->Table->cellWidget(row, 3));
                QVERIFY(bar);
                QCOMPARE(bar->value(), 0);
                QCOMPARE(bar->maximum(), 100);
                QCOMPARE(bar->alignment(), Qt::AlignCenter);
            }
        }

        if (state == QStringLiteral("rejected")) {
            QCOMPARE(g_boxes.size(), 1);
            const Box &box = g_boxes.at(0);
            QCOMPARE(box.icon, QMessageBox::Warning);
            QCOMPARE(box.title, QStringLiteral("УСТАНОВКА ДОПОЛНИТЕЛЬНОГО ПО В UBUNTU"));
            QCOMPARE(box.text, QStringLiteral("  Вами в одной строке указана установка сразу нескольких программ: "
                                              "<font color=#AA0000>") +
                                   field.toHtmlEscaped() +
                                   QStringLiteral("</font>. Это может повлечь за собой сбой корректной установки "
                                                  "нового ПО. Отредактируйте список, оставив в каждой строке только "
                                                  "по одной программе."));
            QCOMPARE(box.informative, QStringLiteral("<b><font color=#AA0000>  Эта проблема требует перезапуска "
                                                     "программы. </font></b>"));
            QCOMPARE(box.buttons, QStringList{QStringLiteral("Закрыть")});
        } else {
            QCOMPARE(g_boxes.size(), 0);
        }
        QCOMPARE(logMessages(), QStringList()); // the status pass logs nothing
    }

    void statusOfOnePackage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");

        const QString native = run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
        const QString installed = QString::fromUtf8(PackageStatus::InstalledText);
        QTest::newRow("installed") << "bash" << installed;
        QTest::newRow("installed, in capitals") << "Bash" << installed;
        QTest::newRow("nobody has it") << "zv-missing" << "";
        QTest::newRow("removed, configuration kept") << "zv-conf" << "Status: deinstall ok config-files\n";
        QTest::newRow("configuration failed") << "zv-half" << "Status: install ok half-configured\n";
        QTest::newRow("two architectures, one installed") << "zv-multi" << installed;
        QTest::newRow("the removed architecture") << "zv-multi:" + native << "Status: deinstall ok config-files\n";
        QTest::newRow("shell text") << "x;touch${IFS}" + Marker << "";
    }

    // What the installation run asks after each package.
    void statusOfOnePackage()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QCOMPARE(PackageStatus::queryStatus(name), text);
        QVERIFY(!QFileInfo::exists(Marker));
    }

    void runningTextInTheWindow()
    {
        QScopedPointer<FormMain> w(new FormMain());
        // Every tick of the window's own timers, by timer id.
        struct TickCounter : QObject {
            QHash<int, int> ticks;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Timer)
                    ++ticks[static_cast<QTimerEvent *>(e)->timerId()];
                return false;
            }
        } counter;
        w->installEventFilter(&counter);

        FormMainProbe::setRunningText(w.data(), QStringLiteral("abcd"));
        FormMainProbe::setSpeed(w.data(), 6);
        FormMainProbe::setSpeed(w.data(), 3); // replaces the first timer
        QStringList shown;
        const auto sixTexts = [&] {
            const QString text = w->installLabel->text();
            if (shown.isEmpty() || shown.last() != text)
                shown << text;
            return shown.size() >= 6;
        };
        QTRY_VERIFY_WITH_TIMEOUT(sixTexts(), 5000);
        QCOMPARE(shown.mid(1, 5), (QStringList{"bcda", "cdab", "dabc", "abcd", "bcda"}));
        QCOMPARE(counter.ticks.size(), 1); // one timer drove the text

        FormMainProbe::setSpeed(w.data(), 0);
        const QString stopped = w->installLabel->text();
        const int ticks = counter.ticks.begin().value();
        QTest::qWait(800);
        QCOMPARE(w->installLabel->text(), stopped);
        QCOMPARE(counter.ticks.begin().value(), ticks);
        QCOMPARE(counter.ticks.size(), 1);
    }

    void handOverWaitsForTheMainWindow()
    {
        Timing::setScale(HeldChain);
        FormStart start;
        start.show();
        int seen = 0;
        bool startHidden = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, [&] {
            if (FormMain *main = visibleMainWindow()) {
                ++seen;
                startHidden = !start.isVisible();
                main->close();
            }
        });
        poll.start();
        // The step returns only once the main window has been run and closed.
        QVERIFY(start.closeFormStart());
        QCOMPARE(seen, 1);
        QVERIFY(startHidden);
        QVERIFY(!visibleMainWindow());
    }

    // Last, because it runs the application's own event loop, as the program does: the loop ends when the last
    // window has closed. The start window closes before the main window opens; the quit that asks for must not
    // end the run.
    void cleanStartHandsOverToTheMainWindow()
    {
        QApplication::setQuitOnLastWindowClosed(true);
        QVERIFY(SafeFile::write(SourcesList, "# deb http://archive.canonical.com/ubuntu jammy partner\n",
                                SafeFile::Truncate));
        QVERIFY(SafeFile::write(DpkgLock, QByteArray(), SafeFile::Truncate));
        QVERIFY(SafeFile::write(AptLock, QByteArray(), SafeFile::Truncate));
        const CatalogueEntry bash =
            CatalogueEntry::fromFields({QStringLiteral("Bash"), QStringLiteral("оболочка"), QStringLiteral("bash")});
        const CatalogueEntry missing = CatalogueEntry::fromFields(
            {QStringLiteral("Нет такой"), QStringLiteral("тест"), QStringLiteral("zv-missing")});
        CatalogueCodec::saveFile(QString::fromLatin1(Sys::CatalogueFile), {bash, missing});
        NamedProcesses named(1);

        struct {
            int mainWindows = 0;
            bool startHidden = false;
            bool modal = false;
            bool stillOpen = false;
            QStringList log;
            QByteArray lockFile;
            QString statusBash, statusMissing;
        } seen;

        Timing::setScale(QuickChain);
        FormStart start;
        start.show();
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, [&] {
            FormMain *main = visibleMainWindow();
            if (!main || main->property("zv-seen").toBool())
                return;
            main->setProperty("zv-seen", true);
            ++seen.mainWindows;
            seen.startHidden = !start.isVisible();
            seen.modal = QApplication::activeModalWidget() == main;
            seen.log = logMessages();
            seen.lockFile = readAll(LockFile);
            seen.statusBash = main->Table->item(0, 4) ? main->Table->item(0, 4)->text() : QString();
            seen.statusMissing = main->Table->item(1, 4) ? main->Table->item(1, 4)->text() : QString();
            QTest::qWait(300);
            seen.stillOpen = main->isVisible();
            main->close();
        });
        poll.start();
        // Should the run hang, every window closes after a while, which ends the loop.
        QTimer::singleShot(30000, [] { QApplication::closeAllWindows(); });
        QCOMPARE(QApplication::exec(), 0);

        QCOMPARE(seen.mainWindows, 1);
        QVERIFY(seen.startHidden);
        QVERIFY(seen.modal);
        QVERIFY(seen.stillOpen);
        QCOMPARE(seen.log, CleanStartLog);
        QCOMPARE(seen.lockFile, QByteArray::number(named.pids().at(0)) + '\n');
        QCOMPARE(seen.statusBash, QStringLiteral("ПО уже установлено"));
        QCOMPARE(seen.statusMissing, QStringLiteral("ПО отмечено для установки"));
        QCOMPARE(g_boxes.size(), 0);
        QVERIFY(!SafeFile::exists(DpkgLock));
        QVERIFY(!SafeFile::exists(AptLock));
        QCOMPARE(readAll(SourcesList), QByteArray("deb http://archive.canonical.com/ubuntu jammy partner\n"));
        QVERIFY(!SafeFile::exists(LockFile)); // the main window's way out removes it
    }
};

// Without any active network configuration.
class TestNoNetwork : public StartSuite
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"),
                 "this suite touches system paths: run it in the sandbox");
        MessageBoxes::setAnswerer(answerBox);
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void init() { setUpCase(); }
    void cleanup() { tearDownCase(); }

    void noNetworkEndsTheStart()
    {
        const QByteArray sources = "# deb http://archive.canonical.com/ubuntu jammy partner\n";
        QVERIFY(SafeFile::write(SourcesList, sources, SafeFile::Truncate));
        QVERIFY(SafeFile::write(DpkgLock, QByteArray(), SafeFile::Truncate));
        QVERIFY(SafeFile::write(AptLock, QByteArray(), SafeFile::Truncate));

        QCOMPARE(runChain(), 0); // the start window closed, and no main window opened

        QCOMPARE(g_boxes.size(), 1);
        const Box &box = g_boxes.at(0);
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.title, QStringLiteral("УСТАНОВКА ДОПОЛНИТЕЛЬНОГО ПО В UBUNTU"));
        QCOMPARE(box.text, QStringLiteral("  Отсутствует подключение к Интернету. Запуск программы будет прерван."));
        QCOMPARE(box.informative,
                 QStringLiteral("<b><font color=#AA0000>  Проверьте состояние интернет-подключения. </font></b>"));
        QCOMPARE(box.buttons, QStringList{QStringLiteral("Закрыть")});

        // Nothing else was touched.
        QCOMPARE(logMessages(), QStringList{QStringLiteral("Запуск программы")});
        QVERIFY(!SafeFile::exists(LockFile));
        QVERIFY(SafeFile::exists(DpkgLock));
        QVERIFY(SafeFile::exists(AptLock));
        QCOMPARE(readAll(SourcesList), sources);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (hasActiveLink()) {
        TestStart suite;
        return QTest::qExec(&suite, argc, argv);
    }
    TestNoNetwork suite;
    return QTest::qExec(&suite, argc, argv);
}

#include "test_start.moc"

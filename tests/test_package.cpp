// The Debian package in the sandbox: built from this build tree with CPack, installed with apt-get, started from
// its launcher (through pkexec with a real polkit daemon, and as root), upgraded, removed and purged.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <functional>

#include <sys/stat.h>

#include "app/process.h"
#include "catalogue/cataloguecodec.h"

namespace {

const QString Program = QStringLiteral("/usr/bin/zaviron");
const QString Launcher = QStringLiteral("/usr/bin/zaviron-pkexec");
const QString DefaultCatalogue = QStringLiteral("/usr/share/zaviron/dataSoftware.db");
const QString HomeDir = QStringLiteral("/var/lib/zaviron");
const QString Catalogue = QStringLiteral("/var/lib/zaviron/dataSoftware.db");
const QString LogFile = QStringLiteral("/var/log/zaviron.log");
const QString DesktopFile = QStringLiteral("/usr/share/applications/org.zaviron.Zaviron.desktop");
const QString MetainfoFile = QStringLiteral("/usr/share/metainfo/org.zaviron.Zaviron.metainfo.xml");
const QString PolicyFile = QStringLiteral("/usr/share/polkit-1/actions/org.zaviron.pkexec.policy");
const QString ActionId = QStringLiteral("org.zaviron.pkexec");
const QString Display = QStringLiteral(":77");
const int AptTimeoutMs = 300000;

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QByteArray catalogueOf(const QString &title, const QString &package)
{
    return CatalogueCodec::encode({CatalogueEntry::fromFields({title, QStringLiteral("описание"), package})});
}

QString outputOf(const ProcessResult &r) { return QString::fromUtf8(r.out + r.err).right(3000); }

int modeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// The value of key in the [Desktop Entry] group of a desktop file.
QString desktopValue(const QString &path, const QString &key)
{
    const QStringList lines = QString::fromUtf8(readAll(path)).split(QLatin1Char('\n'));
    for (const QString &line : lines)
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    return QString();
}

// Package names of a Depends field, alternatives included, versions left out.
QSet<QString> dependNames(const QString &depends)
{
    QSet<QString> names;
    for (const QString &part : depends.split(QRegularExpression(QStringLiteral("[,|]")), Qt::SkipEmptyParts)) {
        const QString name = part.trimmed().section(QLatin1Char(' '), 0, 0).section(QLatin1Char(':'), 0, 0);
        if (!name.isEmpty())
            names.insert(name);
    }
    return names;
}

// The packages that own path; with merged /usr a file may be registered under /bin or /lib instead.
QStringList ownersOf(const QString &path)
{
    QStringList tries{path};
    if (path.startsWith(QLatin1String("/usr/")))
        tries << path.mid(4);
    else
        tries << QStringLiteral("/usr") + path;
    for (const QString &p : tries) {
        const ProcessResult r = runProgram(QStringLiteral("dpkg-query"), {QStringLiteral("-S"), p});
        if (r.exitCode != 0)
            continue;
        QStringList owners;
        for (const QByteArray &line : r.out.split('\n'))
            if (line.endsWith(": " + QFile::encodeName(p)))
                for (const QString &o : QString::fromUtf8(line.left(line.lastIndexOf(": "))).split(QLatin1Char(',')))
                    owners << o.trimmed().section(QLatin1Char(':'), 0, 0);
        if (!owners.isEmpty())
            return owners;
    }
    return {};
}

bool isEssential(const QString &package)
{
    const ProcessResult r =
        runProgram(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("-f=${Essential}"), package});
    return r.out.trimmed() == "yes";
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

    QTemporaryDir *work = nullptr;
    QString deb;     // the package as CPack builds it
    QString nextDeb; // the same package one version later, with another default catalogue
    QByteArray builtDefault;
    QByteArray nextDefault;
    QString version;
    QList<QProcess *> services; // the system bus, the polkit daemon and a virtual display for the launcher
    bool privateRun = false;    // /run is a tmpfs of this sandbox, where the system bus lives

    void run(const QString &program, const QStringList &args, int timeoutMs = AptTimeoutMs)
    {
        const ProcessResult r = runProgram(program, args, timeoutMs);
        QVERIFY2(r.finished && r.exitCode == 0, qPrintable(program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) +
                                                           QStringLiteral(" failed:\n") + outputOf(r)));
    }

    // The first version installed on a system without any trace of an earlier one.
    void freshInstall()
    {
        stopServices();
        run(QStringLiteral("dpkg"), {QStringLiteral("--purge"), QStringLiteral("zaviron")});
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!QFile::exists(HomeDir));
        run(QStringLiteral("apt-get"), {QStringLiteral("install"), QStringLiteral("-y"), QStringLiteral("-q"), deb});
    }

    QProcess *startService(const QString &program, const QStringList &args)
    {
        auto *p = new QProcess(this);
        p->setStandardOutputFile(QProcess::nullDevice());
        p->setStandardErrorFile(QProcess::nullDevice());
        p->start(program, args);
        services << p;
        return p->waitForStarted() ? p : nullptr;
    }

    // A system bus on a private /run, a polkit daemon that grants the action to "nobody" only (as an
    // administrator who typed the password would be), and a display that pkexec lets the program reach.
    void startServices()
    {
        if (!services.isEmpty())
            return;
        if (!privateRun) {
            run(QStringLiteral("mount"),
                {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("tmpfs"), QStringLiteral("/run")});
            QVERIFY(QDir().mkpath(QStringLiteral("/run/dbus")));
            privateRun = true;
        }
        QFile::remove(QStringLiteral("/run/dbus/system_bus_socket"));
        QFile::remove(QStringLiteral("/run/dbus/pid"));
        QVERIFY(QDir().mkpath(QStringLiteral("/etc/polkit-1/rules.d")));
        QVERIFY(writeAll(QStringLiteral("/etc/polkit-1/rules.d/10-zaviron-test.rules"),
                         "polkit.addRule(function(action, subject) {\n"
                         "    if (action.id == \"org.zaviron.pkexec\" && subject.user == \"nobody\")\n"
                         "        return polkit.Result.YES;\n"
                         "});\n"));
        QVERIFY(startService(QStringLiteral("dbus-daemon"), {QStringLiteral("--system"), QStringLiteral("--nofork")}));
        QVERIFY(waitFor([] { return QFile::exists(QStringLiteral("/run/dbus/system_bus_socket")); }, 10000));
        QString polkitd;
        for (const char *p : {"/usr/lib/polkit-1/polkitd", "/usr/libexec/polkitd", "/usr/lib/policykit-1/polkitd"})
            if (QFile::exists(QLatin1String(p)))
                polkitd = QLatin1String(p);
        QVERIFY2(!polkitd.isEmpty(), "no polkit daemon installed");
        QVERIFY(startService(polkitd, {QStringLiteral("--no-debug")}));
        QVERIFY(startService(QStringLiteral("Xvfb"),
                             {Display, QStringLiteral("-ac"), QStringLiteral("-nolisten"), QStringLiteral("tcp")}));
        QVERIFY(waitFor([] { return QFile::exists(QStringLiteral("/tmp/.X11-unix/X77")); }, 10000));
    }

    // With a system bus up, apt's hooks would wake services on it: the bus is gone before apt runs.
    void stopServices()
    {
        for (QProcess *p : qAsConst(services)) {
            p->terminate();
            if (!p->waitForFinished(5000))
                p->kill();
            p->waitForFinished(1000);
            delete p;
        }
        services.clear();
    }

private slots:
    void initTestCase()
    {
        // apt-get below installs into the machine's own /usr and /var/lib/dpkg unless the sandbox covers them.
        if (qgetenv("ZAVIRON_SANDBOX") != "1")
            QFAIL("this suite installs packages: run it inside tests/sandbox.sh");
        qputenv("DEBIAN_FRONTEND", "noninteractive");
        work = new QTemporaryDir(QStringLiteral("/tmp/package.XXXXXX"));
        QVERIFY(work->isValid());

        run(QStringLiteral("cpack"),
            {QStringLiteral("--config"), QStringLiteral(ZAVIRON_BINARY_DIR "/CPackConfig.cmake"), QStringLiteral("-G"),
             QStringLiteral("DEB"), QStringLiteral("-B"), work->path()},
            600000);
        const QStringList debs = QDir(work->path()).entryList({QStringLiteral("zaviron_*.deb")}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        deb = work->filePath(debs.first());
        builtDefault = readAll(QStringLiteral(ZAVIRON_BINARY_DIR "/dataSoftware.db"));
        QVERIFY(!builtDefault.isEmpty());

        // The next version: the same package with a changed default catalogue and a higher version number.
        const QString tree = work->filePath(QStringLiteral("next"));
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("-R"), deb, tree});
        nextDefault = catalogueOf(QStringLiteral("Новая программа"), QStringLiteral("hello"));
        QVERIFY(writeAll(tree + DefaultCatalogue, nextDefault));
        QString control = QString::fromUtf8(readAll(tree + QStringLiteral("/DEBIAN/control")));
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^Version: (\\S+)$"), QRegularExpression::MultilineOption).match(control);
        QVERIFY(m.hasMatch());
        version = m.captured(1);
        control.replace(m.capturedStart(1), m.capturedLength(1), version + QStringLiteral("+next1"));
        QVERIFY(writeAll(tree + QStringLiteral("/DEBIAN/control"), control.toUtf8()));
        nextDeb = work->filePath(QStringLiteral("zaviron_next.deb"));
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("-b"), tree, nextDeb});

        run(QStringLiteral("apt-get"), {QStringLiteral("install"), QStringLiteral("-y"), QStringLiteral("-q"), deb});
    }

    void cleanupTestCase()
    {
        stopServices();
        delete work;
    }

    // Every program, library and data file the tool needs at run time comes from a package the package depends
    // on (or one that every system has).
    void dependsCoverRuntimeNeeds_data()
    {
        QTest::addColumn<QString>("path");
        for (const char *program : {"apt-get", "apt-key", "apt-add-repository", "dpkg", "dpkg-query", "wget", "gpg",
                                    "pidof", "killall", "pkexec", "sh", "sed", "grep"})
            QTest::newRow(program) << QStandardPaths::findExecutable(QLatin1String(program));
        const QString plugins = QLibraryInfo::location(QLibraryInfo::PluginsPath);
        QTest::newRow("Cleanlooks style") << plugins + QStringLiteral("/styles/libqcleanlooksstyle.so");
        QTest::newRow("terminal colour schemes") << QStringLiteral("/usr/share/qtermwidget5/color-schemes");
        QTest::newRow("terminal key bindings") << QStringLiteral("/usr/share/qtermwidget5/kb-layouts");
        // The libraries the program is linked with, as the dynamic loader finds them.
        const QString needed =
            QString::fromUtf8(runProgram(QStringLiteral("readelf"), {QStringLiteral("-d"), Program}).out);
        const QString ldd = QString::fromUtf8(runProgram(QStringLiteral("ldd"), {Program}).out);
        int libraries = 0;
        QRegularExpressionMatchIterator it =
            QRegularExpression(QStringLiteral("\\(NEEDED\\).*\\[(.+)\\]")).globalMatch(needed);
        while (it.hasNext()) {
            const QString library = it.next().captured(1);
            const QRegularExpressionMatch where =
                QRegularExpression(QRegularExpression::escape(library) + QStringLiteral(" => (\\S+)")).match(ldd);
            QTest::newRow(qPrintable(library)) << QFileInfo(where.captured(1)).canonicalFilePath();
            ++libraries;
        }
        if (libraries == 0)
            QTest::newRow("linked libraries") << QString();
    }

    void dependsCoverRuntimeNeeds()
    {
        QFETCH(QString, path);
        QVERIFY2(!path.isEmpty() && QFileInfo::exists(path), qPrintable(path + QStringLiteral(" is missing")));
        const ProcessResult r =
            runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
        const QSet<QString> depends = dependNames(QString::fromUtf8(r.out));
        const QStringList owners = ownersOf(path);
        QVERIFY2(!owners.isEmpty(), qPrintable(path + QStringLiteral(" belongs to no package")));
        // A metapackage among the Depends (such as the style plugins) may bring the owner in one step further.
        QSet<QString> reached = depends;
        for (const QString &name : depends)
            reached += dependNames(QString::fromUtf8(
                runProgram(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("-f=${Depends}"), name})
                    .out));
        bool covered = false;
        for (const QString &owner : owners)
            covered = covered || reached.contains(owner) || isEssential(owner);
        QVERIFY2(covered, qPrintable(owners.join(QLatin1Char(',')) + QStringLiteral(" is not among the Depends: ") +
                                     QString::fromUtf8(r.out)));
    }

    void installedFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("packaged");
        QTest::addColumn<QString>("sameAs");
        const QString none;
        const QString built = QStringLiteral(ZAVIRON_BINARY_DIR "/dataSoftware.db");
        QTest::newRow("program") << Program << 0755 << true << none;
        QTest::newRow("launcher") << Launcher << 0755 << true
                                  << QStringLiteral(ZAVIRON_SOURCE_DIR "/packaging/zaviron-pkexec");
        QTest::newRow("polkit action") << PolicyFile << 0644 << true << none;
        QTest::newRow("menu entry") << DesktopFile << 0644 << true << none;
        QTest::newRow("metainfo") << MetainfoFile << 0644 << true << none;
        QTest::newRow("default catalogue") << DefaultCatalogue << 0644 << true << built;
        // The user's catalogue is no file of the package, so dpkg never replaces it nor asks about it.
        QTest::newRow("seeded catalogue") << Catalogue << 0644 << false << built;
        QTest::newRow("catalogue home") << HomeDir << 0755 << false << none;
    }

    void installedFiles()
    {
        QFETCH(QString, path);
        QFETCH(int, mode);
        QFETCH(bool, packaged);
        QFETCH(QString, sameAs);
        QCOMPARE(QString::number(modeOf(path), 8), QString::number(mode, 8));
        QCOMPARE(ownersOf(path).contains(QStringLiteral("zaviron")), packaged);
        if (!sameAs.isEmpty())
            QCOMPARE(readAll(path), readAll(sameAs));
    }

    void icons_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {32, 48, 64, 128, 256})
            QTest::addRow("%dx%d", size, size) << size;
    }

    // Each picture lies in the folder of its size, under the name the menu entry asks for.
    void icons()
    {
        QFETCH(int, size);
        const QString icon = desktopValue(DesktopFile, QStringLiteral("Icon"));
        QVERIFY(!icon.isEmpty());
        const QImage image(QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(icon));
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY(image.hasAlphaChannel());
    }

    void validators_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("menu entry") << QStringLiteral("desktop-file-validate") << QStringList{DesktopFile};
        QTest::newRow("metainfo") << QStringLiteral("appstreamcli")
                                  << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"), MetainfoFile};
        QTest::newRow("polkit action") << QStringLiteral("xmllint")
                                       << QStringList{QStringLiteral("--noout"), QStringLiteral("--dtdvalid"),
                                                      QStringLiteral("/usr/share/polkit-1/policyconfig-1.dtd"),
                                                      PolicyFile};
    }

    void validators()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        const ProcessResult r = runProgram(program, args);
        QVERIFY2(r.finished && r.exitCode == 0, qPrintable(outputOf(r)));
        // Hints are advice; warnings are not let through even where the tool still exits with 0 for them.
        QVERIFY2(!outputOf(r).contains(QRegularExpression(QStringLiteral("(error|warning):"))),
                 qPrintable(outputOf(r)));
    }

    void crossReferences_data()
    {
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("expected");
        QTest::newRow("menu entry starts the launcher")
            << QStandardPaths::findExecutable(desktopValue(DesktopFile, QStringLiteral("Exec")).section(' ', 0, 0))
            << Launcher;
        const QString launchable = QRegularExpression(QStringLiteral("<launchable type=\"desktop-id\">([^<]+)<"))
                                       .match(QString::fromUtf8(readAll(MetainfoFile)))
                                       .captured(1);
        QTest::newRow("metainfo names the menu entry")
            << QStringLiteral("/usr/share/applications/") + launchable << DesktopFile;
    }

    void crossReferences()
    {
        QFETCH(QString, found);
        QFETCH(QString, expected);
        QCOMPARE(found, expected);
    }

    // The polkit daemon itself reads the action: the path it lets pkexec run is the launcher, with the display.
    void polkitKnowsAction()
    {
        startServices();
        if (QTest::currentTestFailed())
            return;
        ProcessResult r;
        QVERIFY(waitFor(
            [&] {
                r = runProgram(QStringLiteral("pkaction"),
                               {QStringLiteral("--action-id"), ActionId, QStringLiteral("--verbose")});
                return r.exitCode == 0;
            },
            20000));
        const QString out = QString::fromUtf8(r.out);
        QVERIFY2(out.contains(QStringLiteral("org.freedesktop.policykit.exec.path -> ") + Launcher), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("org.freedesktop.policykit.exec.allow_gui -> true")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("implicit active:   auth_admin_keep")), qPrintable(out));
    }

    void launcher_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("started");
        QTest::addColumn<QByteArray>("after");
        const QByteArray edited = catalogueOf(QStringLiteral("Своя программа"), QStringLiteral("mc"));
        QTest::newRow("user through pkexec, no catalogue") << "nobody" << QByteArray() << true << builtDefault;
        QTest::newRow("user through pkexec, edited catalogue") << "nobody" << edited << true << edited;
        QTest::newRow("root without pkexec, no catalogue") << "root" << QByteArray() << true << builtDefault;
        QTest::newRow("user polkit refuses") << "daemon" << edited << false << edited;
    }

    // The launcher as the menu starts it: the program runs as root, in the catalogue's folder, on the user's
    // display, with the default catalogue put in place when there was none.
    void launcher()
    {
        QFETCH(QString, user);
        QFETCH(QByteArray, before);
        QFETCH(bool, started);
        QFETCH(QByteArray, after);
        startServices();
        if (QTest::currentTestFailed())
            return;
        QFile::remove(Catalogue);
        if (!before.isEmpty())
            QVERIFY(writeAll(Catalogue, before));

        QProcess launcher;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("DISPLAY"), Display);
        launcher.setProcessEnvironment(env);
        launcher.setWorkingDirectory(QStringLiteral("/"));
        if (user == QLatin1String("root"))
            launcher.start(Launcher, QStringList());
        else
            launcher.start(QStringLiteral("setpriv"),
                           {QStringLiteral("--reuid=") + user, QStringLiteral("--regid=nogroup"),
                            QStringLiteral("--clear-groups"), Launcher});
        QVERIFY(launcher.waitForStarted());
        const QString proc = QStringLiteral("/proc/%1/").arg(launcher.processId());
        // The launcher, pkexec and the root side each replace the process: the same process becomes the program.
        const bool becameProgram = waitFor(
                                       [&] {
                                           return QFileInfo(proc + QStringLiteral("exe")).symLinkTarget() == Program ||
                                                  launcher.state() == QProcess::NotRunning ||
                                                  launcher.waitForFinished(0);
                                       },
                                       20000) &&
                                   QFileInfo(proc + QStringLiteral("exe")).symLinkTarget() == Program;
        QString cwd, uid;
        QList<QByteArray> environ;
        if (becameProgram) {
            cwd = QFileInfo(proc + QStringLiteral("cwd")).symLinkTarget();
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^Uid:\\s+(\\d+)"), QRegularExpression::MultilineOption)
                    .match(QString::fromUtf8(readAll(proc + QStringLiteral("status"))));
            uid = m.captured(1);
            environ = readAll(proc + QStringLiteral("environ")).split('\0');
            launcher.kill();
        }
        launcher.waitForFinished(10000);
        QCOMPARE(becameProgram, started);
        if (started) {
            QCOMPARE(uid, QStringLiteral("0"));
            QCOMPARE(cwd, HomeDir);
            QVERIFY2(environ.contains("DISPLAY=" + Display.toUtf8()), environ.join(' ').constData());
        } else {
            QCOMPARE(launcher.exitStatus(), QProcess::NormalExit);
            QVERIFY(launcher.exitCode() != 0);
        }
        QCOMPARE(readAll(Catalogue), after);
    }

    void upgrade_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("edited catalogue survives")
            << "edited" << catalogueOf(QStringLiteral("Своя программа"), QStringLiteral("mc"));
        QTest::newRow("untouched catalogue follows the new default") << "untouched" << nextDefault;
        QTest::newRow("deleted catalogue is seeded again") << "deleted" << nextDefault;
    }

    void upgrade()
    {
        QFETCH(QString, before);
        QFETCH(QByteArray, after);
        freshInstall();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(readAll(Catalogue), builtDefault);
        if (before == QLatin1String("edited"))
            QVERIFY(writeAll(Catalogue, after));
        else if (before == QLatin1String("deleted"))
            QVERIFY(QFile::remove(Catalogue));
        run(QStringLiteral("apt-get"),
            {QStringLiteral("install"), QStringLiteral("-y"), QStringLiteral("-q"), nextDeb});
        if (QTest::currentTestFailed())
            return;
        const ProcessResult r =
            runProgram(QStringLiteral("dpkg-query"),
                       {QStringLiteral("-W"), QStringLiteral("-f=${Version}"), QStringLiteral("zaviron")});
        QCOMPARE(QString::fromUtf8(r.out), version + QStringLiteral("+next1"));
        QCOMPARE(readAll(DefaultCatalogue), nextDefault);
        QCOMPARE(readAll(Catalogue), after);
    }

    void removal_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("kept");
        QTest::newRow("remove keeps catalogue and log") << QStringList{QStringLiteral("remove")} << true;
        QTest::newRow("purge takes catalogue and log") << QStringList{QStringLiteral("purge")} << false;
        QTest::newRow("reinstall after remove keeps the catalogue")
            << QStringList{QStringLiteral("remove"), QStringLiteral("install")} << true;
    }

    void removal()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, kept);
        freshInstall();
        if (QTest::currentTestFailed())
            return;
        const QByteArray edited = catalogueOf(QStringLiteral("Своя программа"), QStringLiteral("mc"));
        QVERIFY(writeAll(Catalogue, edited));
        QVERIFY(writeAll(LogFile, "[01.01.2024 10:00:00]  Запуск программы\n"));
        for (const QString &step : steps) {
            run(QStringLiteral("apt-get"), {step, QStringLiteral("-y"), QStringLiteral("-q"),
                                            step == QLatin1String("install") ? deb : QStringLiteral("zaviron")});
            if (QTest::currentTestFailed())
                return;
        }
        QCOMPARE(QFile::exists(Program), steps.last() == QLatin1String("install"));
        QCOMPARE(QFile::exists(LogFile), kept);
        QCOMPARE(QFile::exists(HomeDir), kept);
        QCOMPARE(readAll(Catalogue), kept ? edited : QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"

// The Debian package in the sandbox: built from this build tree, installed, upgraded, removed and purged.
#include <QDir>
#include <QImage>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "app/process.h"

namespace {

const QString Default = QStringLiteral("/usr/share/zaviron/dataSoftware.db");
const QString Catalogue = QStringLiteral("/var/lib/zaviron/dataSoftware.db");
const QString Log = QStringLiteral("/var/log/zaviron.log");
const QString Desktop = QStringLiteral("/usr/share/applications/org.zaviron.Zaviron.desktop");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Package names of a Depends field or of dpkg-query -S, alternatives included, versions and architectures left out.
QSet<QString> names(const QByteArray &field)
{
    QSet<QString> result;
    for (const QString &part : QString::fromUtf8(field).split(QRegularExpression("[,|]"), Qt::SkipEmptyParts))
        result << part.trimmed().section(' ', 0, 0).section(':', 0, 0);
    return result;
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT
    QTemporaryDir work{QStringLiteral("/tmp/package.XXXXXX")};
    QString deb; // as CPack builds it; nextDeb holds the same files a version later, with another default catalogue
    const QString nextDeb = QStringLiteral("./zaviron_next.deb");
    const QByteArray builtDefault = readAll(ZAVIRON_BINARY_DIR "/dataSoftware.db");
    const QByteArray nextDefault = builtDefault + "\n";

    static bool run(const QString &program, const QStringList &args)
    {
        const ProcessResult r = runProgram(program, args, 600000);
        if (!r.finished || r.exitCode != 0)
            qWarning("%s %s: %s", qPrintable(program), qPrintable(args.join(' ')), (r.out + r.err).right(3000).data());
        return r.finished && r.exitCode == 0;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qgetenv("ZAVIRON_SANDBOX") == "1", "this suite installs packages: run it inside tests/sandbox.sh");
        qputenv("DEBIAN_FRONTEND", "noninteractive");
        QVERIFY(work.isValid() && QDir::setCurrent(work.path()) && !builtDefault.isEmpty());
        QVERIFY(run("cpack", {"--config", ZAVIRON_BINARY_DIR "/CPackConfig.cmake", "-G", "DEB", "-B", work.path()}));
        deb = "./" + QDir().entryList({"zaviron_*.deb"}).join(' '); // exactly one, or dpkg-deb fails
        QVERIFY(run("dpkg-deb", {"-R", deb, "next"}) && run("sh", {"-c", "echo >> next" + Default}));
        QVERIFY(run("sed", {"-i", "s/^Version: .*/&+next1/", "next/DEBIAN/control"}));
        QVERIFY(run("dpkg-deb", {"-b", "next", nextDeb}) && run("apt-get", {"install", "-y", deb}));
    }

    void dependsCoverWhatRuns_data()
    {
        QTest::addColumn<QString>("path");
        for (const char *program : {"apt-get", "apt-key", "apt-add-repository", "dpkg-query", "wget", "gpg", "pidof",
                                    "pkexec"})
            QTest::newRow(program) << QStandardPaths::findExecutable(program);
        QTest::newRow("style") << QLibraryInfo::location(QLibraryInfo::PluginsPath) + "/styles/libqcleanlooksstyle.so";
        QTest::newRow("terminal colour schemes") << "/usr/share/qtermwidget5/color-schemes";
    }

    void dependsCoverWhatRuns()
    {
        QFETCH(QString, path);
        const QString other = path.startsWith("/usr/") ? path.mid(4) : "/usr" + path; // merged /usr: /bin, /lib
        const QByteArray owner = runProgram("dpkg-query", {"-S", path, other}).out;
        QVERIFY2(QFileInfo::exists(path) && owner.contains(": "), qPrintable(path + " is missing or in no package"));
        const QByteArray depends = runProgram("dpkg-deb", {"-f", deb, "Depends"}).out;
        QSet<QString> deps = names(depends); // a metapackage may bring the owner in one step further
        for (const QString &name : names(depends))
            deps += names(runProgram("dpkg-query", {"-W", "-f=${Depends}", name}).out);
        QVERIFY2(deps.intersects(names(owner.left(owner.indexOf(": ")))), (owner + " not in " + depends).constData());
    }

    void installedFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("holds");     // a pattern the file matches
        QTest::addColumn<QString>("validator"); // run on the file, it finds nothing to warn about
        const QString gui = "exec.path\">/usr/bin/zaviron-pkexec<(.|\n)*exec.allow_gui\">true<";
        const QString dtd = "xmllint --noout --dtdvalid /usr/share/polkit-1/policyconfig-1.dtd";
        QTest::newRow("program") << "/usr/bin/zaviron" << "" << "";
        QTest::newRow("launcher") << "/usr/bin/zaviron-pkexec" << "" << "";
        QTest::newRow("polkit action") << "/usr/share/polkit-1/actions/org.zaviron.pkexec.policy" << gui << dtd;
        // Asked every time: an authorisation kept for the session would let any of its processes start us as root.
        const QString asks = "<allow_any>auth_admin</allow_any>\\s*<allow_inactive>auth_admin</allow_inactive>\\s*"
                             "<allow_active>auth_admin</allow_active>";
        QTest::newRow("polkit asks every time") << "/usr/share/polkit-1/actions/org.zaviron.pkexec.policy" << asks << "";
        QTest::newRow("menu entry") << Desktop << "\nExec=zaviron-pkexec\n" << "desktop-file-validate";
        QTest::newRow("metainfo") << "/usr/share/metainfo/org.zaviron.Zaviron.metainfo.xml"
                                  << "<launchable type=\"desktop-id\">org.zaviron.Zaviron.desktop<"
                                  << "appstreamcli validate --no-net";
        QTest::newRow("seeded catalogue") << Catalogue << "" << "";
        // Each picture lies in the folder of its size, under the name the menu entry asks for.
        const QString name = QRegularExpression("\nIcon=(.+)\n").match(readAll(Desktop)).captured(1);
        for (int size : {32, 48, 64, 128, 256})
            QTest::addRow("icon %d", size) << QString("/usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(name)
                                           << "" << "";
    }

    void installedFiles()
    {
        QFETCH(QString, path);
        QFETCH(QString, holds);
        QFETCH(QString, validator);
        QVERIFY(QFileInfo(path).isFile() && QString::fromUtf8(readAll(path)).contains(QRegularExpression(holds)));
        QCOMPARE(QFileInfo(path).isExecutable(), path.startsWith("/usr/bin/"));
        const int size = QRegularExpression("/(\\d+)x\\1/").match(path).captured(1).toInt(); // of an icon, else 0
        const QImage image(path);
        QVERIFY(size == 0 || (image.size() == QSize(size, size) && image.hasAlphaChannel()));
        if (validator.isEmpty())
            return;
        const QStringList args = validator.split(' ') << path;
        const ProcessResult r = runProgram(args.first(), args.mid(1));
        const QString out = QString::fromUtf8(r.out + r.err); // warnings fail even where the exit code is 0
        QVERIFY2(r.exitCode == 0 && !out.contains(QRegularExpression("(error|warning):")), qPrintable(out));
    }

    // No error and no warning but one: the start-up removes dpkg's stale lock file, which lintian flags.
    void lintianFindsNoError()
    {
        const ProcessResult r = runProgram("lintian", {deb}, 300000);
        const QString out = QString::fromUtf8(r.out + r.err);
        const QRegularExpression flagged("^[EW]: (?!zaviron: uses-dpkg-database-directly )", QRegularExpression::MultilineOption);
        QVERIFY2(r.finished && r.exitCode == 0 && !out.contains(flagged), qPrintable(out));
    }

    void afterInstall_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("after");
        const QString edit = "echo edited >> " + Catalogue;
        const QByteArray edited = builtDefault + "edited\n";
        const QString upgrade = "install -y " + nextDeb;
        QTest::newRow("upgrade keeps an edited catalogue") << edit << upgrade << edited;
        QTest::newRow("upgrade replaces an untouched one") << "" << upgrade << nextDefault;
        QTest::newRow("remove keeps the catalogue and the log") << edit << "remove -y zaviron" << edited;
        QTest::newRow("purge takes them") << edit << "purge -y zaviron" << QByteArray();
    }

    void afterInstall()
    {
        QFETCH(QString, edit);
        QFETCH(QString, command);
        QFETCH(QByteArray, after);
        QVERIFY(run("dpkg", {"--purge", "zaviron"}) && run("apt-get", {"install", "-y", deb}));
        QCOMPARE(readAll(Catalogue), builtDefault);
        QVERIFY(run("sh", {"-c", edit + "\necho '[01.01.2024 10:00:00]  started' > " + Log}));
        QVERIFY(run("apt-get", command.split(' ')));
        QCOMPARE(readAll(Default), command.startsWith("install") ? nextDefault : QByteArray());
        QCOMPARE(readAll(Catalogue), after);
        QCOMPARE(QFile::exists(Log), !command.startsWith("purge"));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"

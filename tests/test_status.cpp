// Package status over dpkg's output, the running text and the table's scroll step, without a window.
#include <QtTest>

#include "mainwindow/packagestatus.h"
#include "mainwindow/runningtext.h"

static QByteArray stanza(const char *package, const char *status, const char *arch = "amd64")
{
    return QByteArray("Package: ") + package + "\nStatus: " + status + "\nArchitecture: " + arch +
           "\nDescription: " + package + "\n Status: install ok installed\n\n"; // a description is never a field
}

class TestStatus : public QObject
{
    Q_OBJECT

private slots:
    void packageField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("valid"); // a package name: the only field a row may mark, simulate and install
        QTest::addColumn<bool>("dpkg");  // dpkg's own syntax, checked before any query
        QTest::newRow("name and architecture") << "libstdc++6:i386" << true << true;
        QTest::newRow("capitals, as dpkg ignores case") << "VLC" << true << true;
        QTest::newRow("two names") << "gimp inkscape" << false << false;
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("one character") << "a" << false << true;
        QTest::newRow("trailing line break") << "bash\n" << false << false;
        QTest::newRow("no-break space") << "two\u00A0words" << false << false;
        QTest::newRow("apt: a trailing minus removes") << "gdm3-" << false << true;
        QTest::newRow("a trailing plus is a real name") << "g++" << true << true;
        QTest::newRow("apt: a local file") << "/tmp/x.deb" << false << false;
        QTest::newRow("apt: a version") << "bash=5.1" << false << false;
        QTest::newRow("apt: a release") << "bash/stable" << false << false;
        QTest::newRow("apt: a pattern") << "?installed" << false << false;
        QTest::newRow("underscore") << "a_b" << false << true;
        QTest::newRow("shell without blanks") << "x;touch${IFS}/tmp/m" << false << false;
        QTest::newRow("glob") << "bash*" << false << false;
        QTest::newRow("option") << "--admindir=/tmp" << false << false;
    }
    void packageField()
    {
        QFETCH(QString, field);
        QFETCH(bool, valid);
        QFETCH(bool, dpkg);
        QCOMPARE(PackageStatus::isPackageName(field), valid);
        QCOMPARE(PackageStatus::isDpkgName(field), dpkg);
    }

    void installedPerStanza_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("installed");
        const char *conf = "deinstall ok config-files", *ok = "install ok installed";
        QTest::newRow("no blank line at the end") << stanza("vim", ok).chopped(2) << QStringList{"vim", "vim:amd64"};
        QTest::newRow("foreign architecture installed")
            << stanza("zv", conf) + stanza("zv", ok, "i386") << QStringList{"zv", "zv:i386"};
        QTest::newRow("neither architecture")
            << stanza("zv", conf) + stanza("zv", "install ok half-configured", "i386") << QStringList();
        QTest::newRow("held") << stanza("vim", "hold ok installed") << QStringList{"vim", "vim:amd64"};
        QTest::newRow("reinstallation required") << stanza("vim", "install reinstreq installed") << QStringList();
    }
    void installedPerStanza()
    {
        QFETCH(QByteArray, output);
        QFETCH(QStringList, installed);
        QStringList got = PackageStatus::installedIn(output).values();
        got.sort();
        QCOMPARE(got, installed);
        QCOMPARE(PackageStatus::statusText(output) == PackageStatus::InstalledText, !installed.isEmpty());
    }

    // Per row: the running text from a position, the tick interval for a speed, a table row's scroll position.
    void runningText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pos");
        QTest::addColumn<QStringList>("shown"); // one text per tick
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("position");
        QTest::newRow("goes round") << "abc" << 0 << QStringList{"bca", "cab", "abc"} << 3 << 333 << 28 << 14 << 165;
        QTest::newRow("past a shorter text") << "abc" << 10 << QStringList{"abc", "bca"} << 7 << 142 << 19 << 18 << 31;
        QTest::newRow("empty, stopped, no scroll") << "" << 0 << QStringList{"", ""} << 0 << 0 << 18 << 17 << 0;
    }
    void runningText()
    {
        QFETCH(QString, text);
        QFETCH(int, pos);
        QFETCH(QStringList, shown);
        QFETCH(int, speed);
        QFETCH(int, interval);
        QFETCH(int, rows);
        QFETCH(int, row);
        QFETCH(int, position);
        QStringList got;
        while (got.size() < shown.size())
            got << RunningText::advance(text, &pos);
        QCOMPARE(got, shown);
        QCOMPARE(RunningText::intervalMs(speed), interval);
        QCOMPARE(RunningText::scrollPosition(rows, row), position);
    }
};

QTEST_GUILESS_MAIN(TestStatus)
#include "test_status.moc"

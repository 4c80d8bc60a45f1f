// Package status and the running text without a window: the package-field rule, the installed rule over dpkg's own
// status output, the status texts, the scrolling text and the table's scroll step.
#include <QtTest>

#include <algorithm>

#include "mainwindow/packagestatus.h"
#include "mainwindow/runningtext.h"

namespace {

// What "dpkg -s bash" prints, cut short where the rest repeats the same kinds of fields.
const QByteArray BashStanza = "Package: bash\n"
                              "Essential: yes\n"
                              "Status: install ok installed\n"
                              "Priority: required\n"
                              "Section: shells\n"
                              "Installed-Size: 7164\n"
                              "Maintainer: Matthias Klose <doko@debian.org>\n"
                              "Architecture: amd64\n"
                              "Multi-Arch: foreign\n"
                              "Version: 5.2.15-2+b8\n"
                              "Depends: base-files (>= 2.1.12), debianutils (>= 5.6-0.1)\n"
                              "Conffiles:\n"
                              " /etc/bash.bashrc 89269e1298235f1b12b4c16e4065ad0d\n"
                              " /etc/skel/.bashrc ee35a240758f374832e809ae0ea4883a\n"
                              "Description: GNU Bourne Again SHell\n"
                              " Bash is an sh-compatible command language interpreter that executes\n"
                              " commands read from the standard input or from a file.\n"
                              " .\n"
                              " The Programmable Completion Code is now found in the bash-completion package.\n"
                              "Homepage: http://tiswww.case.edu/php/chet/bash/bashtop.html\n"
                              "\n";

// A Multi-Arch: same library known for two architectures: dpkg prints one stanza per architecture.
QByteArray libStanza(const char *arch, const char *status)
{
    return QByteArray("Package: libzv1\nStatus: ") + status +
           "\nPriority: optional\nSection: libs\nInstalled-Size: 120\nMaintainer: Nobody <nobody@example.org>\n"
           "Architecture: " +
           arch + "\nMulti-Arch: same\nVersion: 1.2-3\nDescription: example library\n the runtime part\n\n";
}

// A package that is not installed but whose description talks about status lines, one of them indented exactly
// like the field.
const QByteArray StatusTalker = "Package: statusd\n"
                                "Status: deinstall ok config-files\n"
                                "Priority: optional\n"
                                "Section: admin\n"
                                "Architecture: all\n"
                                "Version: 0.9\n"
                                "Conffiles:\n"
                                " /etc/statusd.conf 0123456789abcdef0123456789abcdef\n"
                                "Description: Status reporter for services\n"
                                " Prints a line like the following for every service:\n"
                                " Status: install ok installed\n"
                                "\n";

QByteArray stanza(const char *package, const char *status, const char *arch = "amd64")
{
    return QByteArray("Package: ") + package + "\nStatus: " + status + "\nArchitecture: " + arch +
           "\nVersion: 1.0\nDescription: " + package + "\n\n";
}

QStringList sorted(const QSet<QString> &set)
{
    QStringList list = set.values();
    std::sort(list.begin(), list.end());
    return list;
}

const QString Installed = QString::fromUtf8(PackageStatus::InstalledText);

} // namespace

class TestStatus : public QObject
{
    Q_OBJECT

private slots:
    void packageFieldRule_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("validField"); // the catalogue's rule: one name, no white space
        QTest::addColumn<bool>("dpkgName");   // dpkg's own syntax, checked before a query

        // Ordinary package names.
        QTest::newRow("plain name") << QStringLiteral("bash") << true << true;
        QTest::newRow("digits, plus signs and dots") << QStringLiteral("libstdc++6") << true << true;
        QTest::newRow("begins with a digit") << QStringLiteral("0ad") << true << true;
        QTest::newRow("single letter") << QStringLiteral("a") << true << true;
        QTest::newRow("underscore") << QStringLiteral("a_b") << true << true;
        QTest::newRow("upper case, which dpkg folds") << QStringLiteral("BASH") << true << true;
        QTest::newRow("with architecture") << QStringLiteral("libc6:i386") << true << true;
        QTest::newRow("architecture ends with a hyphen") << QStringLiteral("bash:x-") << true << true;

        // Fields the catalogue rule rejects.
        QTest::newRow("empty") << QString() << false << false;
        QTest::newRow("two names") << QStringLiteral("gimp inkscape") << false << false;
        QTest::newRow("leading blank") << QStringLiteral(" bash") << false << false;
        QTest::newRow("trailing blank") << QStringLiteral("bash ") << false << false;
        QTest::newRow("only a blank") << QStringLiteral(" ") << false << false;
        QTest::newRow("tab inside") << QStringLiteral("a\tb") << false << false;
        QTest::newRow("trailing line break") << QStringLiteral("bash\n") << false << false;
        QTest::newRow("line break inside") << QStringLiteral("bash\nvim") << false << false;
        QTest::newRow("no-break space") << QStringLiteral("two\u00A0words") << false << false;
        QTest::newRow("ideographic space") << QStringLiteral("two\u3000words") << false << false;
        QTest::newRow("shell command with blanks") << QStringLiteral("x;touch /tmp/marker") << false << false;
        QTest::newRow("command substitution with blanks") << QStringLiteral("$(touch /tmp/marker)") << false << false;

        // One word for the catalogue, but nothing dpkg could know: never handed to dpkg.
        QTest::newRow("shell command without blanks") << QStringLiteral("x;touch${IFS}/tmp/marker") << true << false;
        QTest::newRow("backquotes") << QStringLiteral("`id`") << true << false;
        QTest::newRow("pipe") << QStringLiteral("bash|id") << true << false;
        QTest::newRow("glob") << QStringLiteral("bash*") << true << false;
        QTest::newRow("option-like") << QStringLiteral("--admindir=/tmp") << true << false;
        QTest::newRow("begins with a hyphen") << QStringLiteral("-bash") << true << false;
        QTest::newRow("empty architecture") << QStringLiteral("bash:") << true << false;
        QTest::newRow("architecture begins with a hyphen") << QStringLiteral("bash:-x") << true << false;
        QTest::newRow("two colons") << QStringLiteral("bash:a:b") << true << false;
        QTest::newRow("Cyrillic letters") << QStringLiteral("пакет") << true << false;
    }

    void packageFieldRule()
    {
        QFETCH(QString, field);
        QFETCH(bool, validField);
        QFETCH(bool, dpkgName);
        QCOMPARE(PackageStatus::isValidName(field), validField);
        QCOMPARE(PackageStatus::isDpkgName(field), dpkgName);
    }

    void installedPerStanza_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("installed");

        QTest::newRow("one installed package") << BashStanza << QStringList{"bash", "bash:amd64"};
        QTest::newRow("no blank line after the last stanza")
            << BashStanza.chopped(1) << QStringList{"bash", "bash:amd64"};
        QTest::newRow("empty output") << QByteArray() << QStringList();

        // Two architectures of one package.
        QTest::newRow("both architectures installed")
            << libStanza("amd64", "install ok installed") + libStanza("i386", "install ok installed")
            << QStringList{"libzv1", "libzv1:amd64", "libzv1:i386"};
        QTest::newRow("only the foreign architecture installed")
            << libStanza("amd64", "deinstall ok config-files") + libStanza("i386", "install ok installed")
            << QStringList{"libzv1", "libzv1:i386"};
        QTest::newRow("only the native architecture installed")
            << libStanza("amd64", "install ok installed") + libStanza("i386", "install ok half-configured")
            << QStringList{"libzv1", "libzv1:amd64"};
        QTest::newRow("neither architecture installed")
            << libStanza("amd64", "deinstall ok config-files") + libStanza("i386", "install reinstreq half-installed")
            << QStringList();

        // A description's body is never a field.
        QTest::newRow("status line inside a description") << StatusTalker << QStringList();
        QTest::newRow("described status next to an installed package")
            << StatusTalker + BashStanza << QStringList{"bash", "bash:amd64"};

        // Every state but the finished installation.
        QTest::newRow("removed, configuration kept") << stanza("vim", "deinstall ok config-files") << QStringList();
        QTest::newRow("half-configured") << stanza("vim", "install ok half-configured") << QStringList();
        QTest::newRow("unpacked") << stanza("vim", "install ok unpacked") << QStringList();
        QTest::newRow("selected for purge, still installed") << stanza("vim", "purge ok installed") << QStringList();
        QTest::newRow("held") << stanza("vim", "hold ok installed") << QStringList{"vim", "vim:amd64"};
        QTest::newRow("installed, but reinstallation required")
            << stanza("vim", "install reinstreq installed") << QStringList();
        QTest::newRow("not installed at all") << stanza("vim", "unknown ok not-installed") << QStringList();

        // Several packages from one query.
        QTest::newRow("mixed query") << stanza("vim", "install ok installed") +
                                            stanza("nano", "deinstall ok config-files") +
                                            stanza("tzdata", "install ok installed", "all")
                                     << QStringList{"tzdata", "tzdata:all", "vim", "vim:amd64"};
        QTest::newRow("fields in another order")
            << QByteArray("Status: install ok installed\nArchitecture: arm64\nPackage: gimp\n\n")
            << QStringList{"gimp", "gimp:arm64"};
        QTest::newRow("stanza without a package name")
            << QByteArray("Status: install ok installed\nArchitecture: amd64\n\n") << QStringList();
        QTest::newRow("lines between stanzas hold only blanks")
            << stanza("vim", "install ok installed").chopped(1) + "   \n" + stanza("nano", "install ok installed")
            << QStringList{"nano", "nano:amd64", "vim", "vim:amd64"};
    }

    void installedPerStanza()
    {
        QFETCH(QByteArray, output);
        QFETCH(QStringList, installed);
        QCOMPARE(sorted(PackageStatus::installedIn(output)), installed);
    }

    void statusText_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("text");

        QTest::newRow("installed") << BashStanza << Installed;
        QTest::newRow("empty output") << QByteArray() << QString();
        QTest::newRow("one of two architectures installed")
            << libStanza("amd64", "deinstall ok config-files") + libStanza("i386", "install ok installed") << Installed;
        QTest::newRow("two architectures, neither installed")
            << libStanza("amd64", "deinstall ok config-files") + libStanza("i386", "install ok half-configured")
            << QStringLiteral("Status: deinstall ok config-files\nStatus: install ok half-configured\n");
        QTest::newRow("removed, configuration kept")
            << stanza("vim", "deinstall ok config-files") << QStringLiteral("Status: deinstall ok config-files\n");
        QTest::newRow("status only in the description")
            << StatusTalker << QStringLiteral("Status: deinstall ok config-files\n");
    }

    void statusText()
    {
        QFETCH(QByteArray, output);
        QFETCH(QString, text);
        QCOMPARE(PackageStatus::statusText(output), text);
        // The installation run compares against this very text.
        QCOMPARE(text == Installed, !PackageStatus::installedIn(output).isEmpty());
    }

    void runningText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("startPos");
        QTest::addColumn<QStringList>("shown"); // one text per tick
        QTest::addColumn<int>("endPos");

        QTest::newRow("four letters go round")
            << QStringLiteral("abcd") << 0 << QStringList{"bcda", "cdab", "dabc", "abcd", "bcda"} << 1;
        QTest::newRow("text with trailing blanks")
            << QStringLiteral("Ждите...  ") << 7 << QStringList{"  Ждите...", " Ждите... ", "Ждите...  "} << 0;
        QTest::newRow("one character") << QStringLiteral("x") << 0 << QStringList{"x", "x"} << 0;
        QTest::newRow("empty text") << QString() << 0 << QStringList{"", "", ""} << 0;
        // The position is kept when a shorter text replaces a longer one: it starts again from the beginning.
        QTest::newRow("position past a new, shorter text")
            << QStringLiteral("abc") << 10 << QStringList{"abc", "bca"} << 1;
        QTest::newRow("position at the last character") << QStringLiteral("abc") << 2 << QStringList{"abc"} << 0;
    }

    void runningText()
    {
        QFETCH(QString, text);
        QFETCH(int, startPos);
        QFETCH(QStringList, shown);
        QFETCH(int, endPos);
        int pos = startPos;
        QStringList got;
        for (int i = 0; i < shown.size(); ++i)
            got << RunningText::advance(text, &pos);
        QCOMPARE(got, shown);
        QCOMPARE(pos, endPos);
    }

    void tickInterval_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("interval");
        QTest::newRow("installation run, speed 3") << 3 << 333;
        QTest::newRow("package lists, speed 4") << 4 << 250;
        QTest::newRow("installability check, speed 6") << 6 << 166;
        QTest::newRow("one per second") << 1 << 1000;
        QTest::newRow("speed 7, rounded down") << 7 << 142;
        QTest::newRow("stopped") << 0 << 0;
    }

    void tickInterval()
    {
        QFETCH(int, speed);
        QFETCH(int, interval);
        QCOMPARE(RunningText::intervalMs(speed), interval);
    }

    void scrollStep_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("position");

        QTest::newRow("empty table") << 0 << 0.0 << 0 << 0;
        QTest::newRow("one row") << 1 << 0.0 << 0 << 0;
        QTest::newRow("18 rows never scroll") << 18 << 0.0 << 17 << 0;
        QTest::newRow("19 rows, first row") << 19 << 33.0 / 19 << 0 << 0;
        QTest::newRow("19 rows, last row") << 19 << 33.0 / 19 << 18 << 31;
        QTest::newRow("28 rows, row 14") << 28 << 10.0 / 28 * 33 << 14 << 165;
        QTest::newRow("28 rows, row 1") << 28 << 10.0 / 28 * 33 << 1 << 11;
        QTest::newRow("28 rows, last row") << 28 << 10.0 / 28 * 33 << 27 << 318;
        QTest::newRow("36 rows, row 10") << 36 << 16.5 << 10 << 165;
        QTest::newRow("1000 rows, last row") << 1000 << 982.0 / 1000 * 33 << 999 << 32373;
    }

    void scrollStep()
    {
        QFETCH(int, rows);
        QFETCH(double, step);
        QFETCH(int, row);
        QFETCH(int, position);
        QCOMPARE(RunningText::scrollStep(rows), float(step));
        QCOMPARE(RunningText::scrollPosition(rows, row), position);
    }
};

QTEST_GUILESS_MAIN(TestStatus)
#include "test_status.moc"

// The window-free core: every rule the windows apply, one table each.
#include <QTextDocument>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/logline.h"
#include "app/ownprocesses.h"
#include "app/screenfit.h"
#include "catalogue/catalogueaccess.h"
#include "catalogue/cataloguecodec.h"
#include "catalogue/fieldrules.h"
#include "mainwindow/installability.h"
#include "mainwindow/packagestatus.h"
#include "mainwindow/aptcommands.h"
#include "mainwindow/checkreport.h"
#include "mainwindow/signingkeys.h"
#include "mainwindow/sourceslist.h"
#include "mainwindow/sourcesplan.h"
#include "mainwindow/workflow.h"
#include "mainwindow/rowstate.h"
#include "tests/support/support.h"

using States = QVector<RowState>;
using Failures = QMap<QString, QString>;
using Support::fetch;
Q_DECLARE_METATYPE(States)
Q_DECLARE_METATYPE(RowState)

namespace {

QByteArray be32(quint32 v) { return QByteArray::fromHex(QByteArray::number(v, 16).rightJustified(8, '0')); }

QByteArray stanza(const char *package, const char *status, const char *arch = "amd64")
{
    return QByteArray("Package: ") + package + "\nStatus: " + status + "\nArchitecture: " + arch + "\nDescription: " +
           package + "\n Status: install ok installed\n\n"; // a description line is never a field
}

CatalogueEntry fields(const QStringList &six) { return CatalogueEntry::fromFields(six); }

} // namespace

class TestCore : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    // A catalogue the Qt 5 build wrote is read and written again byte for byte by either build.
    void catalogueOfTheQt5Build()
    {
        const QByteArray written = Support::readAll(ZAVIRON_SOURCE_DIR "/tests/data/qt5-catalogue.db");
        const Entries entries{fields({"Ёлка 𝄞", "две\nстроки", "zv"})};
        QCOMPARE(CatalogueCodec::decode(written), entries);
        QCOMPARE(CatalogueCodec::encode(entries).toHex(), written.toHex());
    }

    // A damaged file keeps the entries before the damage, and says it was not read to its end.
    void catalogueDecode_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<Entries>("expected");
        QTest::addColumn<bool>("complete");
        const QByteArray title = be32(4) + QByteArray::fromHex("00410042"); // "AB"
        const Entries ab{fields({"AB"})};
        QTest::newRow("zero-length file") << QByteArray() << Entries() << true;
        QTest::newRow("24 zero bytes: one empty entry") << QByteArray(24, '\0') << Entries{fields({})} << true;
        QTest::newRow("ends after the first field") << title << ab << false;
        QTest::newRow("ends inside a length word") << title + QByteArray(2, '\0') << ab << false;
        QTest::newRow("odd length word") << title + be32(3) + QByteArray(3 + 24, '\0') << ab << false;
        QTest::newRow("length past the end") << title + be32(40) + QByteArray(2, 'x') << ab << false;
        QTest::newRow("huge length word") << be32(0x7FFFFFF0u) + QByteArray(1020, 'x') << Entries{fields({})} << false;
        QTest::newRow("null marker is an empty field")
            << title + be32(0xFFFFFFFFu) + be32(2) + QByteArray::fromHex("0043") + QByteArray(12, '\0')
            << Entries{fields({"AB", "", "C"})} << true;
    }
    void catalogueDecode()
    {
        bool complete = !fetch<bool>("complete"); // decode must set it
        QCOMPARE(CatalogueCodec::decode(fetch<QByteArray>("data"), &complete), fetch<Entries>("expected"));
        QTEST(complete, "complete");
    }

    // A rewrite keeps the file's mode and owner and leaves no temporary file; nothing is written through a link.
    void filesNeverThroughLinks()
    {
        Support::WorkDir work;
        const QString path = work.path() + "/sources.list", log = work.path() + "/log", target = work.path() + "/target";
        const QByteArray p = QFile::encodeName(path);
        QVERIFY(Support::writeFile(path, "old\n") && ::chmod(p, 0640) == 0 && ::chown(p, 1, 4) == 0);
        QVERIFY(Support::writeFile(target, "keep\n") && QFile::link(target, log) && QFile::link("/etc/zv-nowhere", "link"));
        QVERIFY(SafeFile::replace(path, "new\n") && SafeFile::replace("link", "x") && appendLogLine(log, "x"));
        struct stat st;
        QVERIFY(::stat(p, &st) == 0 && (st.st_mode & 07777) == 0640 && st.st_uid == 1 && st.st_gid == 4);
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden | QDir::System), (QStringList{"link", "log", "sources.list", "target"}));
        QCOMPARE(QFileInfo("/etc/zv-nowhere").exists() || QFileInfo("link").isSymLink() || QFileInfo(log).isSymLink(), false);
        QCOMPARE(Support::readAll(target) + Support::readAll(log).mid(21), QByteArray("keep\n  x\n"));
        QVERIFY(::mkfifo("fifo", 0600) == 0 && !appendLogLine("fifo", "x")); // refused at once, not left waiting
    }

    // Installed: the package in any letter case, the architecture as written; held counts, half-configured not.
    void installed_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("found"); // of: vim, VIM, vim:amd64, vim:AMD64, zv, zv:i386
        const char *conf = "deinstall ok config-files", *ok = "install ok installed";
        const QStringList vim{"VIM", "vim", "vim:amd64"};
        QTest::newRow("no blank line at the end") << stanza("vim", ok).chopped(2) << vim;
        QTest::newRow("held at its version") << stanza("vim", "hold ok installed") << vim;
        QTest::newRow("foreign architecture") << stanza("zv", conf) + stanza("zv", ok, "i386") << QStringList{"zv", "zv:i386"};
        QTest::newRow("neither architecture") << stanza("zv", conf) + stanza("zv", "install ok half-configured", "i386") << QStringList();
        QTest::newRow("reinstallation required") << stanza("vim", "install reinstreq installed") << QStringList();
    }
    void installed()
    {
        QFETCH(QByteArray, output);
        QFETCH(QStringList, found);
        QStringList got = PackageStatus::installedAmong({"vim", "VIM", "vim:amd64", "vim:AMD64", "zv", "zv:i386"}, PackageStatus::installedIn(output)).values();
        got.sort();
        QCOMPARE(got, found);
        QCOMPARE(PackageStatus::statusText(output) == PackageStatus::InstalledText, !found.isEmpty());
    }

    void clickOnTheCheckBox_data()
    {
        QTest::addColumn<RowState>("state");
        QTest::addColumn<bool>("checked"); // the check state the click left
        QTest::addColumn<RowState>("after");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QColor>("colour");
        using S = RowState;
        QTest::newRow("untick a marked row") << S::Marked << false << S::Unmarked << "ПО не будет установлено" << QColor(180, 0, 0);
        QTest::newRow("tick it again") << S::Unmarked << true << S::Marked << "ПО отмечено для установки" << QColor(11, 127, 107);
        QTest::newRow("not installable stays so") << S::NotInstallable << true << S::NotInstallable << "ПО нельзя установить" << QColor(180, 0, 0);
    }
    void clickOnTheCheckBox()
    {
        QFETCH(RowState, after);
        QCOMPARE(afterClick(fetch<RowState>("state"), fetch<bool>("checked")), after);
        const RowLook look = rowLook(after);
        QTEST(look.statusText, "status");
        QTEST(look.statusColour, "colour");
        QCOMPARE(look.selectColour, look.statusColour);
        QCOMPARE(look.check == Qt::Checked, after == RowState::Marked);
        QCOMPARE(look.bar == RowLook::Zero, after == RowState::Marked);
    }

    void workflowDecisions_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<States>("states");
        QTest::addColumn<QStringList>("marked");
        QTest::addColumn<QStringList>("keys"); // the plan's rows' keys
        QTest::addColumn<bool>("needUpdate");
        using S = RowState;
        const Entries three{fields({"A", "", "a", "", "k1", "deb http://a/ x main"}), fields({"B", "", "b", "", "k2", "main"}),
                            fields({"A2", "", "a", "", "k3"})};
        QTest::newRow("marked rows in order, a package once")
            << three << States{S::Marked, S::Marked, S::Marked} << QStringList{"a", "b"} << QStringList{"k1", "k2", "k3"} << true;
        QTest::newRow("unmarked rows add nothing, yet ask for a refresh")
            << three << States{S::Unmarked, S::Installed, S::NotInstallable} << QStringList() << QStringList() << true;
        QTest::newRow("no repository field, no refresh") << Entries{fields({"C", "", "c"})} << States{S::Marked} << QStringList{"c"} << QStringList() << false;
    }
    void workflowDecisions()
    {
        QFETCH(Entries, entries);
        QFETCH(States, states);
        QTEST(Workflow::markedPackages(entries, states), "marked");
        const Workflow::RepoPlan plan = Workflow::planRepositories(entries, states);
        QStringList keys;
        for (const Workflow::RepoRow &row : plan.rows)
            keys << row.key;
        QTEST(keys, "keys");
        QTEST(plan.needUpdate, "needUpdate");
    }

    // At start-up a field that is no package name gets no state; one box names them all, cut after 20.
    void startStates()
    {
        QStringList fields{"vim", "VLC", "a b", "a b", "x<b>"};
        for (int i = 0; i < 20; ++i)
            fields << QString("p %1").arg(i);
        const StartStates start = ::startStates(fields, {"vim"});
        QCOMPARE(start.states.mid(0, 2), (States{RowState::Installed, RowState::Marked}));
        QCOMPARE(start.known.count(true), 2);
        QCOMPARE(start.unusable.size(), 22);
        const QString text = notPackageNamesText(start.unusable);
        QVERIFY2(text.contains("a b, x&lt;b&gt;, p 0") && text.contains("p 17 и ещё 2</font>"), qPrintable(text));
    }

    // Texts made from a field: a log line stays one entry, a tooltip shows markup as text.
    void textRules_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::newRow("log, LF in a field") << "log" << "a\n[01.01.2000 00:00:00]  forged" << "a\n [01.01.2000 00:00:00]  forged";
        QTest::newRow("log, an indented second line stays") << "log" << "невозможна:\n E: x" << "невозможна:\n E: x";
        QTest::newRow("log, CR LF, lone CR, LF at the end") << "log" << "a\r\nb\rc\n" << "a\\x0D\n b\\x0Dc\n ";
        QTest::newRow("log, ESC sequence, BEL, NUL") << "log" << QString("\x1b]0;t\a\x1b[2J") + QChar(0) << "\\x1B]0;t\\x07\\x1B[2J\\x00";
        QTest::newRow("log, DEL, C1 (NEL, CSI), line and paragraph separator") << "log"
            << QString("\x7f") + QChar(0x85) + 'x' + QChar(0x9b) + "1m" + QChar(0x2028) + QChar(0x2029) << "\\x7F\\x85x\\x9B1m\\u2028\\u2029";
        QTest::newRow("log, tab kept, backslash doubled") << "log" << "a\tb\\x1B\\" << "a\tb\\\\x1B\\\\";
        QTest::newRow("log, Cyrillic and U+00A0 kept") << "log" << QString::fromUtf8("ПО\u00a0x") << QString::fromUtf8("ПО\u00a0x");
        QTest::newRow("signed-by, a new block") << "signed-by" << " deb  http://a/ x main" << "deb [signed-by=/k.gpg] http://a/ x main";
        QTest::newRow("signed-by, into the block") << "signed-by" << "deb [ arch=amd64 ] http://a/ x main" << "deb [arch=amd64 signed-by=/k.gpg] http://a/ x main";
        QTest::newRow("signed-by, own keyring kept") << "signed-by" << "deb [signed-by=/o.gpg] http://a/ x main" << "deb [signed-by=/o.gpg] http://a/ x main";
        QTest::newRow("key file, odd path") << "key file" << "http://h.example/../a%20b$(id).key" << "zaviron-h.example-a_b__id_.gpg";
        QTest::newRow("key file, port and query") << "key file" << "https://127.0.0.1:8000/signing_key.pub?x=1" << "zaviron-127.0.0.1-signing_key.gpg";
        QTest::newRow("tooltip") << "tooltip" << "<img src=\"/dev/zero\"> &amp;\nb" << "<img src=\"/dev/zero\"> &amp;\nb";
    }
    void textRules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, output);
        const QString input = fetch<QString>("input");
        QTextDocument tip;
        tip.setHtml(cellToolTip(input));
        QCOMPARE(rule == "log" ? formatLogLine(QDateTime(QDate(2026, 12, 5), QTime(23, 53, 29)), input)
                 : rule == "signed-by" ? FieldRules::withSignedBy(input, "/k.gpg")
                 : rule == "key file" ? SigningKeys::fileName(input) : tip.toPlainText(),
                 rule == "log" ? "[05.12.2026 23:53:29]  " + output + "\n" : output);
        QVERIFY(rule != "signed-by" || (FieldRules::sourcesEntryProblem(output).isEmpty() && SourcesList::uriOf(output) == "http://a/"));
    }

    // Whatever a catalogue field holds, it is one argument, the last, after "--"; a fixed script takes it as $1.
    void dataIsOneArgumentAfterDoubleDash()
    {
        for (const QString &field : {QStringLiteral("-oAPT::Update::Pre-Invoke::=touch /tmp/x"),
                                     QStringLiteral("x; reboot $(id) `id` | tee > /tmp/y \"'\nb")}) {
            for (const QStringList &args : {AptCommands::ppaArgs(field), AptCommands::simulateArgs({field}),
                                            AptCommands::installCommand(field).args}) {
                QCOMPARE(args.last(), field);
                QCOMPARE(args.at(args.size() - 2), QStringLiteral("--"));
            }
            const QStringList pipe = SigningKeys::downloadArgs(field);
            QCOMPARE(pipe.mid(2), (QStringList{"sh", field}));
            QVERIFY(!pipe.at(1).contains(field));
        }
        for (const QStringList &args : {AptCommands::installCommand("vlc").args, AptCommands::simulateArgs({"vlc"})}) {
            QCOMPARE(args.join(' ').contains("APT::Cmd::Pattern-Only=true --no-remove"), true);
            QCOMPARE(args.join(' ').contains("force-yes"), false);
        }
        QCOMPARE(AptCommands::installCommand("vlc").args.contains("DPkg::Lock::Timeout=600"), true);
        QCOMPARE(AptCommands::updateCommand("/s").args.contains("DPkg::Lock::Timeout=600"), true);
        QCOMPARE(AptCommands::ppaArgs("ppa:a/b").mid(0, 2), (QStringList{"-y", "-n"})); // no refresh of its own
    }

    // Only exact copies of the entry (blanks collapsed) are the entry: a comment or a longer line is the user's.
    void addSourcesEntry_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray l = "deb http://repo.example.org/apt stable main";
        QTest::newRow("empty file") << QByteArray() << QString(l) << l + '\n';
        QTest::newRow("longer line and comment kept")
            << l + " non-free\n# " + l + "\n" << QString(l) << l + " non-free\n# " + l + "\n" + l + '\n';
        const QByteArray twice = "a\n" + l + "\nb\ndeb  http://repo.example.org/apt stable\tmain\r\n";
        QTest::newRow("there already: the user's copies all stay") << twice << QString(l) << twice;
        QTest::newRow("last line without its line break") << QByteArray("deb http://a/ x main") << QString(l)
                                                          << "deb http://a/ x main\n" + l + '\n';
        QTest::newRow("brackets and dots are literal")
            << QByteArray("deb a http://hXexample/ s main\n") << "deb [arch=amd64] http://h.example/ s main"
            << QByteArray("deb a http://hXexample/ s main\ndeb [arch=amd64] http://h.example/ s main\n");
    }
    void addSourcesEntry()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, expected);
        const QByteArray content = fetch<QByteArray>("content");
        const SourcesList::Edit once = SourcesList::addEntry(content, line);
        QCOMPARE(once.content, expected);
        QCOMPARE(SourcesList::addEntry(once.content, line).content, expected); // a later check writes no copy
        QVERIFY(::mkfifo(qPrintable(dir.filePath("fifo")), 0644) == 0 || errno == EEXIST);
        QVERIFY(!SourcesList::add(dir.filePath("fifo"), line).ok); // refused at once: reading a FIFO would wait for good
        // Taking the line back gives the file as it was, when the line was not there before.
        if (!SourcesList::addEntry(content, line).present && content.endsWith('\n'))
            QCOMPARE(SourcesList::removeEntry(once.content, line), content);
    }

    // What a field may hold before it reaches dpkg, apt-get, apt-add-repository, curl or sources.list.
    void fieldRules_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("rejected");
        const auto rows = [](const char *rule, bool rejected, std::initializer_list<const char *> fields) {
            for (const char *field : fields)
                QTest::addRow("%s %s: %s", rule, rejected ? "refused" : "taken", field) << QString(rule) << QString(field) << rejected;
        };
        rows("name", false, {"libstdc++6:i386", "VLC", "g++"}); // dpkg ignores case; a trailing plus is a real name
        rows("name", true, {"gimp inkscape", "vim\n", "", "gdm3-", "/tmp/x.deb", "?installed", "x;touch${IFS}/tmp/m", "--admindir=/tmp"});
        rows("dpkg", false, {"gdm3-"}); // apt would remove it; dpkg reads it as a name
        rows("dpkg", true, {"vim\n", "/tmp/x.deb", "--admindir=/tmp"});
        rows("entry", false, {" deb http://a/ x main", "deb-src [ arch=amd64 signed-by=/k.gpg ] https://a/ x main c", "deb file:/srv/repo ./"});
        rows("entry", true, {"deb [trusted=yes] file:/tmp/evil ./", "deb [arch=amd64 Allow-Weak+=yes] http://a/ x main",
                             "deb [ allow-insecure=no ] http://a/ x main", "deb [allow-downgrade-to-insecure=yes] http://a/ x main",
                             "deb [arch=amd64] [trusted=yes] http://a/ x main", "main", "-e", "deb http://a/ x", "deb file:/srv ./ main",
                             "deb a.example/ubuntu x main", "deb [arch=i386 http://a/ x main", "deb http://a/ x main\ndeb http://evil/ y main", "   "});
        rows("ppa", false, {"ppa:team-x/stable+1.0"});
        rows("ppa", true, {"deb [trusted=yes] http://a/ x main", "ppa:team", "ppa:a/b/c", "ppa:a/b\n"});
        rows("key", false, {"https://dl.example.com/k.asc"});
        rows("key", true, {"http://dl.example.com/k.asc", "file:///root/secret", "https:///k"});
    }
    void fieldRules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, field);
        const bool rejected = rule == "name" ? !FieldRules::isPackageName(field) : rule == "dpkg" ? !FieldRules::isDpkgName(field)
                            : rule == "entry" ? !FieldRules::sourcesEntryProblem(field).isEmpty()
                            : rule == "ppa" ? !FieldRules::ppaProblem(field).isEmpty() : !FieldRules::keyUrlProblem(field).isEmpty();
        QTEST(rejected, "rejected");
    }

    // A download is judged by curl's last status line and the size, a key by its shape and gpg's listing.
    void keyData_data()
    {
        QTest::addColumn<QByteArray>("err"); // the download's errors
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("listing"); // gpg's colon listing; empty: gpg failed
        QTest::addColumn<QString>("problem");
        const QByteArray armored("\r\n-----BEGIN PGP PUBLIC KEY BLOCK-----\n\nmQ\n-----END PGP PUBLIC KEY BLOCK-----\n");
        const QByteArray pub("pub:-:255:22:57E3:1796738686:::-:::scSC\nuid:-::::1::A <a@x>:\n"), ok("curl: 0\n");
        const QString notAKey = "загруженный файл не является ключом", notOne = "загруженный файл не является одним ключом";
        QTest::newRow("armored") << ok << armored << pub << QString();
        QTest::newRow("binary, old packet format") << ok << QByteArray("\x99\x01\x0d\x04", 4) << pub << QString();
        QTest::newRow("binary, new packet format") << ok << QByteArray("\xc6\x33\x04", 3) << pub << QString();
        QTest::newRow("junk after the block") << ok << armored + "junk" << pub << notOne;
        QTest::newRow("two blocks") << ok << armored + armored << pub + pub << notOne;
        QTest::newRow("two keys in one") << ok << armored << pub + pub << "загруженный файл содержит 2 ключей";
        QTest::newRow("a secret key") << ok << QByteArray("\x95\x01", 2) << QByteArray("sec:-:255:22:57E3\n") << notAKey;
        QTest::newRow("secret in a public block") << ok << armored << pub + "ssb:-:255\n" << "загруженный файл содержит секретный ключ";
        QTest::newRow("gpg could not read it") << ok << QByteArray("\x99\x01junk", 6) << QByteArray() << notAKey;
        QTest::newRow("error page") << ok << QByteArray("<html>404</html>") << pub << notAKey;
        QTest::newRow("armored message") << ok << QByteArray("-----BEGIN PGP MESSAGE-----\n") << pub << notOne;
        QTest::newRow("curl's telling line, not its advice") << QByteArray("curl: (60) SSL certificate problem: self-signed\nMore "
            "details here: https://curl.se/docs/sslcerts.html\n\nhow to fix it, please visit the web page mentioned above.\ncurl: 60\n")
            << QByteArray() << pub << "curl: код завершения 60: curl: (60) SSL certificate problem: self-signed";
        QTest::newRow("a forged status before the real one") << QByteArray("curl: 0\ncurl: 22\n") << QByteArray() << pub
                                                             << "curl: код завершения 22: curl: 0";
        QTest::newRow("past the limit") << QByteArray("curl: 23\n") << QByteArray(1024 * 1024 + 1, 'k') << pub
                                        << "загруженный файл больше 1024 КиБ";
        QTest::newRow("no status") << QByteArray() << armored << pub << "curl не завершился";
    }
    void keyData()
    {
        ProcessResult download, listing;
        download.started = download.finished = listing.started = listing.finished = true;
        download.exitCode = 0;
        download.err = fetch<QByteArray>("err");
        download.out = fetch<QByteArray>("data");
        listing.out = fetch<QByteArray>("listing");
        listing.exitCode = listing.out.isEmpty() ? 2 : 0;
        const QString failure = SigningKeys::downloadFailure(download);
        QTEST(failure.isEmpty() ? SigningKeys::keyProblem(download.out, listing) : failure, "problem");
    }

    // A key rotated at the same address takes the old one's place, whole; taken back, the old bytes return.
    void keyStore()
    {
        const QString keys = dir.filePath("keys"), path = keys + "/zaviron-h.example-k.gpg";
        QVERIFY(QDir().mkpath(keys) && Support::writeFile(path, "old"));
        const SourcesPlan::Saved before = SourcesPlan::save(path), none = SourcesPlan::save(keys + "/new.gpg");
        QCOMPARE(SigningKeys::storeAt(path, "new").already, false);
        QCOMPARE(SigningKeys::storeAt(path, "new").already, true);
        QVERIFY(SigningKeys::storeAt(none.path, "k").failure.isEmpty() && SourcesPlan::restore(none));
        QCOMPARE(QDir(keys).entryList(QDir::Files), QStringList{"zaviron-h.example-k.gpg"});
        QCOMPARE(Support::readAll(path), QByteArray("new"));
        QVERIFY(SourcesPlan::restore(before));
        QCOMPARE(Support::readAll(path), QByteArray("old"));
        QCOMPARE(QFileInfo(keys).permissions(), QFileDevice::Permissions(0x7755)); // 0755
    }

    // One repository, one entry: what each row's line ("package|key|components" of "deb http://a x") comes to beside
    // the entries apt reads ("uri suite type component where|keyring") and the rows before it. Row "t" is refused
    // before apt sees it, apt cannot read row "u".
    void sourcesPlan_data()
    {
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("decisions"); // the action, then a part of what it names
        const QString a = "http://a/ x deb main ", w = "Write deb [signed-by=/k/zaviron-h-k.gpg] http://a x main";
        QTest::newRow("new: written, its key named") << QStringList() << QStringList{"p|k|main"} << QStringList{w};
        QTest::newRow("the user's entry with its own keyring stays") << QStringList{a + "v.list:1|/v.gpg"} << QStringList{"p|k|main"} << QStringList{"Other v.list:1"};
        QTest::newRow("the user's entry without keyring, the row with a key") << QStringList{a + "l:3|"} << QStringList{"p|k|main"} << QStringList{"Other l:3"};
        QTest::newRow("there already, no key either") << QStringList{a + "l:2|"} << QStringList{"p||main"} << QStringList{"Present l:2"};
        QTest::newRow("our earlier line: the key renewed in place") << QStringList{a + "l:1|/k/zaviron-h-k.gpg"} << QStringList{"p|k|main"} << QStringList{"RenewKey l:1"};
        QTest::newRow("more components, same keyring: written beside") << QStringList{a + "l:1|"} << QStringList{"p||main c"} << QStringList{"Write deb http://a x main c"};
        QTest::newRow("another suite is another repository") << QStringList{"http://a/ y deb main l:1|/v.gpg"} << QStringList{"p||main"} << QStringList{"Write deb http://a x main"};
        QTest::newRow("two rows, one with a key, one without") << QStringList() << QStringList{"p|k|main", "q||main"} << QStringList{w, "Refused программы p с другими"};
        QTest::newRow("two rows, the same line and key") << QStringList() << QStringList{"p|k|main", "q|k|main"} << QStringList{w, "Present p"};
        QTest::newRow("the key file signs another repository") << QStringList{"http://b/ z deb main l:9|/k/zaviron-h-k.gpg"} << QStringList{"p|k|main"} << QStringList{"Refused другой репозиторий (l:9)"};
        QTest::newRow("refused before apt, unreadable to apt") << QStringList() << QStringList{"t||main", "u||main"} << QStringList{"Refused P", "Refused прочитать эту строку: E: bad"};
    }
    void sourcesPlan()
    {
        const auto target = [](const QString &t) { const QStringList w = t.split(' '); return SourcesPlan::Target{w.value(0), w.value(1), w.value(2), w.value(3), w.value(4)}; };
        QVector<SourcesPlan::Existing> system;
        for (const QString &e : fetch<QStringList>("system"))
            system << SourcesPlan::Existing{target(e.section('|', 0, 0)), e.section('|', 1)};
        QVector<SourcesPlan::Row> rows;
        for (const QString &text : fetch<QStringList>("rows")) {
            const QStringList r = text.split('|');
            rows << SourcesPlan::Row{r[0], r[1].isEmpty() ? "" : "https://h/k.asc", "deb http://a x " + r[2], r[0] == "t" ? "P" : "", {}, "E: bad"};
            for (const QString &c : r[2].split(' '))
                if (r[0] != "u")
                    rows.last().targets << target("http://a/ x deb " + c);
        }
        const QStringList names{"Write", "Present", "Other", "RenewKey", "Refused"}, expected = fetch<QStringList>("decisions");
        const QVector<SourcesPlan::Decision> got = SourcesPlan::plan(rows, system, "/k");
        QCOMPARE(got.size(), expected.size());
        for (int i = 0; i < got.size(); ++i) {
            const QString d = names.at(int(got[i].action)) + ' ' + got[i].written + ' ' + got[i].where + ' ' + got[i].why;
            QVERIFY2(d.startsWith(expected[i].section(' ', 0, 0) + ' ') && d.contains(expected[i].section(' ', 1)), qPrintable(d));
        }
    }

    // The keyring a line names itself is trusted only when root alone can change it; option names read as apt does.
    void keyringRules_data()
    {
        QTest::addColumn<QString>("keyring");  // under the test's folder; "" : the row's text as it is
        QTest::addColumn<int>("fileMode");     // -1: no such file; the owner is nobody when >= 010000
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("refused");
        QTest::newRow("root's, 0644, in a 0755 folder") << "k.gpg" << 0644 << 0755 << false;
        QTest::newRow("group may write it") << "k.gpg" << 0664 << 0755 << true;
        QTest::newRow("anyone may write the folder") << "k.gpg" << 0644 << 01777 << true;
        QTest::newRow("anyone may write a folder above") << "in/k.gpg" << 0644 << 01777 << true;
        QTest::newRow("another user's file") << "k.gpg" << (010000 | 0644) << 0755 << true;
        QTest::newRow("no such file") << "k.gpg" << -1 << 0755 << true;
        QTest::newRow("a fingerprint") << "" << 0 << 0755 << false;
        QTest::newRow("Signed-By names nothing to apt") << "Signed-By" << 0 << 0755 << false;
    }
    void keyringRules()
    {
        QFETCH(QString, keyring);
        QFETCH(int, fileMode);
        const QString folder = dir.filePath(QString(QTest::currentDataTag()).remove(QRegularExpression("[^a-z]")));
        const QString file = folder + '/' + (keyring.isEmpty() ? "k.gpg" : keyring);
        QVERIFY(QDir().mkpath(QFileInfo(file).path()) && ::chmod(dir.path().toUtf8(), 0755) == 0 && ::chmod(folder.toUtf8(), fetch<int>("folderMode")) == 0);
        QVERIFY(fileMode < 0 || (Support::writeFile(file, "k") && ::chmod(file.toUtf8(), fileMode & 07777) == 0 && ::chown(file.toUtf8(), fileMode >= 010000 ? 65534 : 0, 0) == 0));
        const QString line = keyring == "" ? "deb [signed-by=0123456789ABCDEF0123456789ABCDEF01234567] http://a/ x main"
                           : keyring == "Signed-By" ? "deb [Signed-By=/tmp/k.gpg] http://a/ x main"
                                                    : "deb [arch=amd64 signed-by=" + file + "] http://a/ x main";
        const QString problem = SourcesPlan::keyringProblem(line); // the folders above the test's own (/tmp) are not judged here
        QTEST(!problem.isEmpty() && !problem.contains(QDir::tempPath() + ' '), "refused");
    }

    // The start enables the distribution's partner entries as shipped, and nothing else.
    void partnerLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("enabled");
        const QByteArray deb = "deb http://archive.canonical.com/ubuntu jammy partner";
        QTest::newRow("deb and deb-src, CR LF kept") << "# " + deb + "\r\n# deb-src http://archive.canonical.com/ubuntu jammy partner"
                                                     << QStringList{QString(deb), "deb-src http://archive.canonical.com/ubuntu jammy partner"};
        QTest::newRow("a line with options, another host, a note") << QByteArray(
            "# deb [trusted=yes] http://archive.canonical.com/ubuntu jammy partner\n# deb http://evil/ubuntu jammy partner\n"
            "# deb http://archive.canonical.com/ubuntu jammy partner # mirror\n#deb http://archive.canonical.com/ubuntu jammy partner\n")
                                                                   << QStringList();
        QTest::newRow("enabled already") << deb + "\n" << QStringList();
    }
    void partnerLines()
    {
        const QByteArray content = fetch<QByteArray>("content");
        const SourcesList::Edit edit = SourcesList::enablePartner(content);
        QTEST(edit.changed, "enabled");
        QCOMPARE(edit.present, !edit.changed.isEmpty());
        QCOMPARE(edit.content.size(), content.size() - 2 * edit.changed.size());
    }

    // apt's reason is its first "E:" line, another tool's its last line (a traceback ends with what went wrong).
    void failureReason_data()
    {
        QTest::addColumn<int>("exitCode"); // -1: ended by a signal, -2: not started, -3: timed out
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("toolReason");
        QTest::newRow("exit 0, warnings only: installable") << 0 << QByteArray("W: a warning\n") << QString() << QString();
        QTest::newRow("the first E: line after warnings") << 100 << QByteArray("W: w\nE: Unable to locate package x\r\nE: second\n")
            << "E: Unable to locate package x" << "E: Unable to locate package x\nW: w\nE: second";
        QTest::newRow("no E: line: exit code and first line") << 100 << QByteArray("\r\nodd\n") << "код завершения 100: odd" << "odd";
        QTest::newRow("a traceback") << 1 << QByteArray("Traceback (most recent call last):\n  File \"x\"\nNoDistroTemplateException: Error\n")
            << "код завершения 1: Traceback (most recent call last):" << "NoDistroTemplateException: Error\nTraceback (most recent call last):\nFile \"x\"";
        QTest::newRow("ended by a signal") << -1 << QByteArray() << "программа завершилась аварийно" << "программа завершилась аварийно";
        QTest::newRow("not started") << -2 << QByteArray() << "E: Не удалось запустить apt-get." << "программа не запустилась";
        QTest::newRow("timed out") << -3 << QByteArray() << "E: нет ответа за 30 с" << "нет ответа за 30 с";
        const QString held = "E: Невозможно исправить ошибки, у вас отложены (held) битые пакеты.";
        QTest::newRow("held broken packages, reworded") << 100 << (held + "\n").toUtf8() << "E: Пакеты для установки имеют неудовлетворённые зависимости." << held;
    }
    void failureReason()
    {
        QFETCH(int, exitCode);
        const ProcessResult result{exitCode != -2, exitCode >= 0, exitCode == -3, qMax(exitCode, -1), {}, fetch<QByteArray>("err")};
        QTEST(CheckReport::summaryLine(AptCommands::simulationFailure(result)), "reason");
        QTEST(AptCommands::failureReason(result), "toolReason");
        QCOMPARE(AptCommands::needsRepair(result), exitCode != 0); // a failed dpkg --audit leaves the doubt to the repair
    }

    // The refresh's end as its script left it, and what the summary names of what this check added.
    void refreshNote_data()
    {
        QTest::addColumn<QByteArray>("status"); // the status file's content; "-": no such file
        QTest::addColumn<QByteArray>("errors");
        QTest::addColumn<QStringList>("named");
        const QByteArray fetchFailed = "W: Failed to fetch https://b.example/debian/dists/x/InRelease  403\n";
        QTest::newRow("failed: all named") << QByteArray("100\n") << QByteArray() << QStringList{"код 100", " A\n", " B\n"};
        QTest::newRow("never ended") << QByteArray("-") << QByteArray() << QStringList{"не завершилось", " A\n", " B\n"};
        QTest::newRow("no number") << QByteArray("\n") << QByteArray() << QStringList{"не завершилось", " A\n", " B\n"};
        QTest::newRow("exit 0, one not fetched") << QByteArray("0") << "W: Failed to fetch https://a.example/x\n" + fetchFailed
                                                 << QStringList{"не смогло загрузить", " B\n"};
        QTest::newRow("exit 0, an unsigned one") << QByteArray("0\n") << QByteArray("E: The repository 'https://b.example/debian x "
                                                                    "InRelease' is not signed.\n")
                                                 << QStringList{"не смогло загрузить", " B\n"};
        QTest::newRow("exit 0, its address in a note only") << QByteArray("0\n") << QByteArray("N: see https://b.example/debian\n")
                                                            << QStringList();
    }
    void refreshNote()
    {
        QFETCH(QByteArray, status);
        QFETCH(QStringList, named);
        const QString folder = dir.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder) && Support::writeFile(folder + "/errors", fetch<QByteArray>("errors")));
        QVERIFY(status == "-" || Support::writeFile(folder + "/status", status));
        const QString note = CheckReport::refreshNote(Workflow::readRefresh(folder), {{"A", {}, {}, {}, {}, {}}, {"B", {"https://b.example/debian"}, {}, {}, {}, {}}});
        QCOMPARE(note.isEmpty(), named.isEmpty());
        for (const QString &part : named)
            QVERIFY2(note.contains(part), qPrintable(note));
        QCOMPARE(note.contains(" A\n"), named.contains(" A\n"));
    }

    // Whose catalogue is read and written: a plain file of ours, in a folder nobody else can write.
    void catalogue_data()
    {
        QTest::addColumn<QString>("kind"); // what lies at the catalogue's name
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<int>("dirMode");
        QTest::addColumn<QString>("foreign"); // the file or the folder that another user owns
        QTest::addColumn<QString>("refusal"); // words of why it must not be written; empty: it may be
        QTest::newRow("our file in our folder") << "file" << 0644 << 0755 << "" << "";
        QTest::newRow("missing file in our folder") << "missing" << 0 << 0700 << "" << "";
        QTest::newRow("file writable by the group") << "file" << 0664 << 0755 << "" << "доступен для записи";
        QTest::newRow("file of another user") << "file" << 0644 << 0755 << "file" << "Владелец файла";
        QTest::newRow("link to our file") << "link" << 0 << 0755 << "" << "символической ссылкой";
        QTest::newRow("a folder at its name") << "folder" << 0755 << 0755 << "" << "не является обычным файлом";
        QTest::newRow("folder writable by the group") << "missing" << 0 << 0775 << "" << "доступна для записи";
        QTest::newRow("sticky folder all may write, as tmp") << "file" << 0644 << 01777 << "" << "доступна для записи";
        QTest::newRow("folder of another user") << "missing" << 0 << 0755 << "folder" << "Владелец папки";
    }
    void catalogue()
    {
        QFETCH(QString, kind);
        QFETCH(int, fileMode);
        QFETCH(QString, foreign);
        QFETCH(QString, refusal);
        const QString folder = dir.filePath(QTest::currentDataTag()), path = folder + "/dataSoftware.db", good = dir.filePath("good");
        const QVector<CatalogueEntry> three = {Support::entry("a", "a"), Support::entry("b", "b"), Support::entry("c", "")};
        QVERIFY(QDir().mkdir(folder) && CatalogueAccess::write(good, three));
        QVERIFY(kind == "file" ? QFile::copy(good, path) : kind == "link" ? QFile::link(good, path) : kind != "folder" || QDir().mkdir(path));
        const QByteArray f = QFile::encodeName(path), d = QFile::encodeName(folder);
        QVERIFY(fileMode == 0 || (::chmod(f, fileMode) == 0 && ::chown(f, foreign == "file" ? 65534 : 0, -1) == 0));
        QVERIFY(::chmod(d, fetch<int>("dirMode")) == 0 && ::chown(d, foreign == "folder" ? 65534 : 0, -1) == 0);
        const QByteArray before = Support::readAll(path), goodBefore = Support::readAll(good);

        const CatalogueAccess::Loaded loaded = CatalogueAccess::load(path);
        QVERIFY2(loaded.why.contains(refusal) && loaded.why.isEmpty() == refusal.isEmpty(), qPrintable(loaded.why));
        QCOMPARE(loaded.entries.size(), kind == "file" && refusal.isEmpty() ? 3 : 0); // a foreign one is not read
        QCOMPARE(CatalogueAccess::append(path, Support::entry("d", "d")), refusal.isEmpty());
        QCOMPARE(CatalogueAccess::rewrite(path, three.mid(1)), refusal.isEmpty());
        if (!refusal.isEmpty())
            QCOMPARE(Support::readAll(path), before);
        QCOMPARE(Support::readAll(good), goodBefore); // never written through the link
    }

    void screenFit_data()
    {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("fitted");
        QTest::newRow("large screen: unchanged") << QRect(10, 20, 700, 800) << QRect(0, 0, 1920, 1050) << QRect(10, 20, 700, 800);
        QTest::newRow("1366 x 768 with a panel") << QRect(0, 0, 700, 800) << QRect(0, 28, 1366, 740) << QRect(0, 58, 700, 710);
        QTest::newRow("wider and higher than the screen") << QRect(-50, 0, 900, 700) << QRect(0, 0, 800, 600) << QRect(0, 30, 800, 570);
    }
    void screenFit() { QTEST(ScreenFit::fit(fetch<QRect>("wanted"), fetch<QRect>("available"), QMargins(0, 30, 0, 0)), "fitted"); }

    // Which rows fail, why, in how many runs; the fake answers with apt 2.6's lines (apt-get -q, a local repository).
    void installability_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<Failures>("failures");
        QTest::addColumn<int>("simulations");
        QStringList ok;
        for (int i = 1; i <= 27; ++i)
            ok << QStringLiteral("zv-ok%1").arg(i);
        QTest::newRow("2 missing (a row called locate is not), 1 unmet without native :arch: 3 runs for 30")
            << QStringList{"locate", "zv-no", "zv-arch:amd64", "zv-na"} + ok.mid(1)
            << Failures{{"zv-no", "E: Unable to locate package zv-no"}, {"zv-na", "E: Unable to locate package zv-na"},
                        {"zv-arch:amd64", "zv-arch : Depends: zv-nobody3 but it is not installable"}} << 3;
        QTest::newRow("one of two rows in conflict, then halves: a removal, a dependency's unmet dependency")
            << QStringList{"zv-left", "zv-right"} + ok.mid(0, 12) + QStringList{"zv-replacer", "zv-dep"} + ok.mid(12)
            << Failures{{"zv-replacer", "E: Packages need to be removed but remove is disabled."},
                        {"zv-dep", "E: Unable to correct problems, you have held broken packages."},
                        {"zv-left", "zv-left : Conflicts: zv-right but 1.0 is to be installed"}} << 10;
        QTest::newRow("apt 3's Error: line, then a removal two dependency steps from its marked name: 3 runs for 29")
            << QStringList{"zv-indirect", "zv-gone"} + ok << Failures{{"zv-gone", "Error: Unable to locate package zv-gone"},
                {"zv-indirect", "E: Packages need to be removed but remove is disabled."}} << 3;
    }
    void installability()
    {
        static const QMap<QString, QByteArray> apt{{"zv-no", "E: Unable to locate package zv-no\n"},
            {"zv-na", "E: Unable to locate package zv-na\n"}, {"zv-replacer", "E: Packages need to be removed but "
            "remove is disabled.\n"}, {"zv-dep", " zv-broken : Depends: zv-nobody-has-it but it is not installable\n"},
            {"zv-arch:amd64", " zv-arch : Depends: zv-nobody3 but it is not installable\n"},
            {"zv-left", " zv-left : Conflicts: zv-right but 1.0 is to be installed\n"}, {"zv-gone", "Error: Unable to locate package "
            "zv-gone\n"}, {"zv-indirect", "  Installing zv-mid:amd64 as Depends of zv-indirect:amd64\n    Installing zv-new:amd64 as "
            "Depends of zv-mid:amd64\n    Removing: zv-old:amd64 as upgrade is not an option for zv-new:amd64 (1.0)\nE: "
            "Packages need to be removed but remove is disabled.\n"}};
        const auto simulate = [](const QStringList &set) {
            QByteArray at[3]; // apt stops at the first step that fails: names, dependencies, removals
            for (const QString &n : set)
                at[apt[n].contains(": Unable") ? 0 : apt[n].contains("E: P") ? 2 : 1] += apt[n];
            const int step = !at[0].isEmpty() ? 0 : !at[1].isEmpty() ? 1 : 2;
            return ProcessResult{true, true, false, at[step].isEmpty() ? 0 : 100, step == 1 ? at[1] : "",
                step != 1 ? at[step] : "E: Unable to correct problems, you have held broken packages.\n"};
        };
        const Installability::Outcome outcome = Installability::judge(fetch<QStringList>("names"), simulate);
        QTEST(outcome.failures, "failures");
        QTEST(outcome.simulations, "simulations");
    }

    // A process of a terminal's session that has ended, not yet reaped, runs no more: the terminal does not wait for it.
    void endedProcessOfASession()
    {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(::setsid() < 0);
        QTRY_VERIFY(Support::readAll(QString("/proc/%1/stat").arg(child)).contains(") Z "));
        QCOMPARE(OwnProcesses::inSession(child), QList<pid_t>());
        QCOMPARE(::waitpid(child, nullptr, 0), child);
    }

    // A full disk: what an append's first write got into the last six bytes of a page is cut back (own mount space).
    void appendOnFullDisk()
    {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            QSKIP("no mount namespace of its own (root only)");
        const QString full = dir.filePath("full"), log = full + "/log", catalogue = full + "/catalogue";
        const QByteArray old(4090, 'o');
        QVERIFY(QDir().mkpath(full) && ::mount("zv-full", QFile::encodeName(full), "tmpfs", 0, "size=64k") == 0 &&
                Support::writeFile(log, old) && Support::writeFile(catalogue, old));
        runProgram("dd", {"if=/dev/zero", "of=" + full + "/fill", "bs=4096"}); // until the disk is full
        QCOMPARE(appendLogLine(log, "longer") || CatalogueAccess::append(catalogue, Support::entry("t", "p")), false);
        QCOMPARE(Support::readAll(log) + Support::readAll(catalogue), old + old);
        QCOMPARE(::umount(QFile::encodeName(full)), 0);
    }

    // An edit's end, with its changed copy appended: the old entry goes, or the copy again; a refusal leaves the file's
    // bytes and says why.
    void catalogueChange_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("row");          // the entry as it was, deleted; -1: the copy taken off again
        QTest::addColumn<QByteArray>("after"); // empty: refused
        const Entries three{Support::entry("a", "a"), Support::entry("b", "b"), Support::entry("c", "c")};
        const QByteArray copy = CatalogueCodec::encodeEntry(Support::entry("a+", "a")), whole = CatalogueCodec::encode(three);
        QTest::newRow("undo: the file ends with the copy") << whole + copy << -1 << whole;
        QTest::newRow("undo: the file ends otherwise") << copy + whole << -1 << QByteArray();
        QTest::newRow("undo: a file shorter than the copy") << whole.left(24) << -1 << QByteArray();
        QTest::newRow("edit: the second goes, its copy stays") << whole + copy << 1 << CatalogueCodec::encode({three[0], three[2]}) + copy;
        QTest::newRow("edit: the copy itself (the file shrank behind the dialog)") << whole + copy << 3 << QByteArray();
        QTest::newRow("edit: the file ends otherwise") << copy + whole << 0 << QByteArray();
        QTest::newRow("edit in a damaged file") << whole + copy.left(10) << 0 << QByteArray();
    }
    void catalogueChange()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, after);
        const QString path = dir.filePath(QTest::currentDataTag());
        const CatalogueEntry copy = Support::entry("a+", "a");
        QString why;
        QVERIFY(Support::writeFile(path, file));
        const int row = fetch<int>("row");
        QCOMPARE(row < 0 ? CatalogueAccess::undoAppend(path, copy, &why) : CatalogueAccess::removeEdited(path, row, copy, &why), !after.isEmpty());
        QCOMPARE(why.isEmpty(), !after.isEmpty());
        QCOMPARE(Support::readAll(path).toHex(), (after.isEmpty() ? file : after).toHex());
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"

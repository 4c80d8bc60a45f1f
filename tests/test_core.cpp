// The window-free core: the catalogue file's layout and whose catalogue is used, package names and dpkg's status, the
// workflow's decisions, the argument lists, the sources.list edit, key files, the reading of apt's answer, the
// running text, log lines that stay one entry each, and windows fitted to small screens.
#include <sys/stat.h>
#include <unistd.h>

#include "app/logline.h"
#include "app/screenfit.h"
#include "catalogue/catalogueaccess.h"
#include "catalogue/cataloguecodec.h"
#include "mainwindow/packagestatus.h"
#include "mainwindow/repocommands.h"
#include "mainwindow/rowstate.h"
#include "mainwindow/runningtext.h"
#include "tests/support/support.h"

using States = QVector<RowState>;
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
    // One entry byte for byte: big-endian length words, UTF-16BE text, the three empty optional fields.
    void catalogueLayout()
    {
        const QByteArray example = QByteArray::fromHex(
            "0000001E0047006E006F006D006500200043006F006D006D0061006E00640065007200000022042404300439043B043E0432044B0439"
            "0020043C0435043D043504340436043504400000001E0067006E006F006D0065002D0063006F006D006D0061006E006400650072"
            "000000000000000000000000");
        const CatalogueEntry gc = fields({"Gnome Commander", "Файловый менеджер", "gnome-commander"});
        QCOMPARE(CatalogueCodec::encodeEntry(gc).toHex(), example.toHex());
        QCOMPARE(CatalogueCodec::decode(example + example), (Entries{gc, gc}));
    }

    // A catalogue that the Qt 5 build wrote (a character beyond 16 bits, a line break, empty fields) is read, and
    // written again byte for byte, by either build.
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
        QFETCH(QByteArray, data);
        bool complete = !fetch<bool>("complete"); // decode must set it
        QCOMPARE(CatalogueCodec::decode(data, &complete), fetch<Entries>("expected"));
        QTEST(complete, "complete");
    }

    // A rewrite keeps what the administrator set on the file (apt's own user must still read sources.list), follows no
    // link and leaves no temporary file beside it.
    void rewriteKeepsModeAndOwner()
    {
        Support::WorkDir work;
        const QByteArray path = QFile::encodeName(work.path() + "/sources.list");
        QVERIFY(Support::writeFile(path, "old\n") && ::chmod(path, 0640) == 0 && ::chown(path, 1, 4) == 0);
        QVERIFY(QFile::link("/etc/zv-nowhere", work.path() + "/link"));
        QVERIFY(SafeFile::replace(path, "new\n") && SafeFile::replace(work.path() + "/link", "x"));
        struct stat st;
        QVERIFY(::stat(path, &st) == 0 && (st.st_mode & 07777) == 0640 && st.st_uid == 1 && st.st_gid == 4);
        QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), (QStringList{"link", "sources.list"}));
        QVERIFY(!QFileInfo("/etc/zv-nowhere").exists() && !QFileInfo(work.path() + "/link").isSymLink());
    }

    void bundledCatalogueIsWellFormed()
    {
        Entries entries;
        QVERIFY(CatalogueCodec::readFile(QStringLiteral(ZAVIRON_BINARY_DIR "/dataSoftware.db"), &entries));
        QVERIFY2(entries.size() >= 20 && entries.size() <= 30, qPrintable(QString::number(entries.size())));
        for (const CatalogueEntry &e : entries)
            QVERIFY2(!e.title.isEmpty() && PackageStatus::isPackageName(e.installTitle), qPrintable(e.title));
    }

    void packageField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("valid"); // a package name: the only field a row may mark, simulate and install
        QTest::addColumn<bool>("dpkg");  // dpkg's own syntax, checked before any query
        QTest::newRow("name and architecture") << "libstdc++6:i386" << true << true;
        QTest::newRow("capitals, as dpkg ignores case") << "VLC" << true << true;
        QTest::newRow("a trailing plus is a real name") << "g++" << true << true;
        QTest::newRow("two names") << "gimp inkscape" << false << false;
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("apt: a trailing minus removes") << "gdm3-" << false << true;
        QTest::newRow("apt: a local file") << "/tmp/x.deb" << false << false;
        QTest::newRow("apt: a pattern") << "?installed" << false << false;
        QTest::newRow("shell without blanks") << "x;touch${IFS}/tmp/m" << false << false;
        QTest::newRow("option") << "--admindir=/tmp" << false << false;
    }
    void packageField()
    {
        QFETCH(QString, field);
        QTEST(PackageStatus::isPackageName(field), "valid");
        QTEST(PackageStatus::isDpkgName(field), "dpkg");
    }

    void installedPerStanza_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("installed");
        const char *conf = "deinstall ok config-files", *ok = "install ok installed";
        QTest::newRow("no blank line at the end") << stanza("vim", ok).chopped(2) << QStringList{"vim", "vim:amd64"};
        QTest::newRow("foreign architecture") << stanza("zv", conf) + stanza("zv", ok, "i386") << QStringList{"zv", "zv:i386"};
        QTest::newRow("neither architecture")
            << stanza("zv", conf) + stanza("zv", "install ok half-configured", "i386") << QStringList();
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

    // A click on the check box moves only between marked and unmarked; the look follows the state.
    void clickOnTheCheckBox_data()
    {
        QTest::addColumn<RowState>("state");
        QTest::addColumn<bool>("checked"); // the check state the click left
        QTest::addColumn<RowState>("after");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("untick a marked row") << RowState::Marked << false << RowState::Unmarked << "ПО не будет установлено"
                                             << QColor(180, 0, 0);
        QTest::newRow("tick it again") << RowState::Unmarked << true << RowState::Marked << "ПО отмечено для установки"
                                       << QColor(11, 127, 107);
        QTest::newRow("not installable stays so") << RowState::NotInstallable << true << RowState::NotInstallable
                                                  << "ПО нельзя установить" << QColor(180, 0, 0);
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

    // Which packages the check and the run take, and which repository fields they add.
    void workflowDecisions_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<States>("states");
        QTest::addColumn<QStringList>("marked");
        QTest::addColumn<QStringList>("keys"); // the key step's fields, then its packages
        QTest::addColumn<bool>("needUpdate");
        using S = RowState;
        const Entries three{fields({"A", "", "a", "", "k1"}), fields({"B", "", "b", "", "k2"}), fields({"A2", "", "a", "", "k3"})};
        QTest::newRow("marked rows in order, a package once") << three << States{S::Marked, S::Marked, S::Marked}
                                                              << QStringList{"a", "b"}
                                                              << QStringList{"k1", "k2", "k3", "a", "b", "a"} << true;
        QTest::newRow("unmarked rows add nothing, yet ask for a refresh")
            << three << States{S::Unmarked, S::Installed, S::NotInstallable} << QStringList() << QStringList() << true;
        QTest::newRow("no repository field, no refresh") << Entries{fields({"C", "", "c"})} << States{S::Marked}
                                                         << QStringList{"c"} << QStringList() << false;
    }
    void workflowDecisions()
    {
        QFETCH(Entries, entries);
        QFETCH(States, states);
        QTEST(Workflow::markedPackages(entries, states), "marked");
        const Workflow::RepoPlan plan = Workflow::planRepositories(entries, states);
        QTEST(plan.keys.fields + plan.keys.packages, "keys");
        QTEST(plan.needUpdate, "needUpdate");
        QVERIFY(plan.ppas.fields.isEmpty() && plan.sourcesLines.fields.isEmpty());
    }

    // Whatever a catalogue field holds, it is one argument, the last, after "--"; a fixed script takes it as $1.
    void dataIsOneArgumentAfterDoubleDash()
    {
        for (const QString &field : {QStringLiteral("-oAPT::Update::Pre-Invoke::=touch /tmp/x"),
                                     QStringLiteral("x; reboot $(id) `id` | tee > /tmp/y \"'\nb")}) {
            for (const QStringList &args : {RepoCommands::ppaArgs(field), RepoCommands::simulateArgs({field}),
                                            RepoCommands::installCommand(field).args})
                QVERIFY(args.last() == field && args.at(args.size() - 2) == "--" && args.count(field) == 1);
            for (const QStringList &pipe : {RepoCommands::keyPipeArgs(field), RepoCommands::keyDownloadArgs(field)})
                QVERIFY(pipe.size() == 4 && !pipe.at(1).contains(field) && pipe.at(3) == field);
        }
        // The runs that take the package manager's lock wait for it; nothing forces apt past its safety checks.
        for (const TerminalCommand &c : {RepoCommands::installCommand("vlc"), RepoCommands::updateCommand("/status")})
            QVERIFY(c.args.contains("DPkg::Lock::Timeout=600") && !c.args.join(' ').contains("force-yes"));
    }

    void editSourcesList_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray l = "deb http://repo.example.org/apt stable main";
        QTest::newRow("empty file") << QByteArray() << QString(l) << l + '\n';
        QTest::newRow("earlier, commented and longer copies go; others stay in order")
            << "a\n" + l + "\n\n# " + l + "\nb\n" + l + " contrib\n" << QString(l) << "a\n\nb\n" + l + '\n';
        QTest::newRow("last line without its line break") << QByteArray("deb http://a/ x main") << QString(l)
                                                          << "deb http://a/ x main\n" + l + '\n';
        // As a pattern "[arch=amd64]" would be one character of a set and "." any character.
        QTest::newRow("brackets and dots are literal") << QByteArray("deb a http://hXexample/ s main\n")
                                                       << "deb [arch=amd64] http://h.example/ s main"
                                                       << QByteArray("deb a http://hXexample/ s main\n"
                                                                     "deb [arch=amd64] http://h.example/ s main\n");
    }
    void editSourcesList()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, expected);
        const QByteArray once = RepoCommands::editSourcesList(fetch<QByteArray>("content"), line);
        QCOMPARE(once, expected);
        QCOMPARE(RepoCommands::editSourcesList(once, line), expected); // a later run: still one copy, at the end
    }

    void sourcesEntry_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("rejected");
        QTest::newRow("ordinary, leading blank") << " deb http://a/ x main" << false;
        QTest::newRow("options block with blanks") << "deb-src [ arch=amd64 signed-by=/k.gpg ] https://a/ x main c" << false;
        QTest::newRow("flat repository") << "deb [trusted=yes] file:/srv/repo ./" << false;
        QTest::newRow("a single word deletes most of the file") << "main" << true;
        QTest::newRow("an option for the edit") << "-e" << true;
        QTest::newRow("no components") << "deb http://a/ x" << true;
        QTest::newRow("components after an exact path") << "deb file:/srv ./ main" << true;
        QTest::newRow("no scheme") << "deb a.example/ubuntu x main" << true;
        QTest::newRow("unclosed options") << "deb [trusted=yes http://a/ x main" << true;
        QTest::newRow("line break") << "deb http://a/ x main\ndeb http://evil/ y main" << true;
        QTest::newRow("blanks only") << "   " << true;
    }
    void sourcesEntry()
    {
        QFETCH(QString, line);
        QTEST(!RepoCommands::sourcesEntryProblem(line).isEmpty(), "rejected");
    }

    void keyFiles_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("name"); // empty: not a key
        const QByteArray armored("\r\n-----BEGIN PGP PUBLIC KEY BLOCK-----\n\nmQINB...\n");
        QTest::newRow("armored") << armored << "https://dl.example.com/keys/release.gpg"
                                 << "zaviron-dl.example.com-release.asc";
        QTest::newRow("binary, old packet format") << QByteArray("\x99\x01\x0d\x04", 4)
                                                   << "http://127.0.0.1:8000/signing_key.pub?x=1"
                                                   << "zaviron-127.0.0.1-signing_key.gpg";
        QTest::newRow("binary, no file name") << QByteArray("\xc6\x33\x04", 3) << "http://h.example/"
                                              << "zaviron-h.example-key.gpg";
        QTest::newRow("characters apt refuses, a way out of the folder")
            << armored << "http://h.example/../a%20b$(id).key" << "zaviron-h.example-a_b__id_.asc";
        QTest::newRow("error page") << QByteArray("<html>404</html>") << "http://h/k.asc" << QString();
        QTest::newRow("armored message") << QByteArray("-----BEGIN PGP MESSAGE-----\n") << "http://h/k" << QString();
    }
    void keyFiles()
    {
        QFETCH(QString, name);
        const RepoCommands::KeyKind kind = RepoCommands::keyKind(fetch<QByteArray>("data"));
        QCOMPARE(kind == RepoCommands::NotAKey, name.isEmpty());
        QCOMPARE(RepoCommands::keyFileName(fetch<QString>("url"), kind), name);
    }

    // A key download is judged by the script's end, wget's own status on its last line of errors, and the size.
    void keyDownload_data()
    {
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("reason");
        QTest::newRow("fetched") << QByteArray("wget: 0\n") << 1000 << QString();
        QTest::newRow("server error") << QByteArray("wget: 8\n") << 0 << "wget: код завершения 8";
        QTest::newRow("a forged status before the real one") << QByteArray("wget: 0\nwget: 4\n") << 0 << "wget: код завершения 4";
        QTest::newRow("past the limit") << QByteArray("wget: 141\n") << 1024 * 1024 + 1 << "загруженный файл больше 1024 КиБ";
        QTest::newRow("no status") << QByteArray() << 10 << "wget не завершился";
    }
    void keyDownload()
    {
        ProcessResult download;
        download.started = download.finished = true;
        download.exitCode = 0;
        download.err = fetch<QByteArray>("err");
        download.out = QByteArray(fetch<int>("size"), 'k');
        QTEST(RepoCommands::keyDownloadFailure(download), "reason");
    }

    // apt is judged by its exit status; its reason is the first "E:" line. The summary rewords one known message.
    void simulationFailure_data()
    {
        QTest::addColumn<int>("exitCode"); // -1: ended by a signal, -2: not started, -3: timed out
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<QString>("reason");
        QTest::newRow("exit 0, warnings only: installable") << 0 << QByteArray("W: a warning\n") << QString();
        QTest::newRow("the first E: line after warnings")
            << 100 << QByteArray("W: w\nE: Unable to locate package x\r\nE: second\n") << "E: Unable to locate package x";
        QTest::newRow("no E: line: exit code and first line") << 100 << QByteArray("\r\nodd\n") << "код завершения 100: odd";
        QTest::newRow("ended by a signal") << -1 << QByteArray() << "программа завершилась аварийно";
        QTest::newRow("not started") << -2 << QByteArray() << "E: Не удалось запустить apt-get.";
        QTest::newRow("timed out") << -3 << QByteArray() << "E: нет ответа за 30 с";
        QTest::newRow("held broken packages, reworded")
            << 100 << QStringLiteral("E: Невозможно исправить ошибки, у вас отложены (held) битые пакеты.\n").toUtf8()
            << "E: Пакеты для установки имеют неудовлетворённые зависимости.";
    }
    void simulationFailure()
    {
        QFETCH(int, exitCode);
        ProcessResult result;
        result.started = exitCode != -2;
        result.timedOut = exitCode == -3;
        result.finished = exitCode >= 0;
        result.exitCode = qMax(exitCode, -1);
        result.err = fetch<QByteArray>("err");
        QTEST(RepoCommands::summaryLine(RepoCommands::simulationFailure(result)), "reason");
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
        QStringList got;
        while (got.size() < fetch<QStringList>("shown").size())
            got << RunningText::advance(text, &pos);
        QTEST(got, "shown");
        QTEST(RunningText::intervalMs(fetch<int>("speed")), "interval");
        QTEST(RunningText::scrollPosition(fetch<int>("rows"), fetch<int>("row")), "position");
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
        QTest::newRow("sticky folder all may write, as tmp") << "file" << 0644 << 01777 << "" << "доступна для записи";
        QTest::newRow("folder of another user") << "missing" << 0 << 0755 << "folder" << "Владелец папки";
    }
    void catalogue()
    {
        QFETCH(QString, kind);
        QFETCH(int, fileMode);
        QFETCH(int, dirMode);
        QFETCH(QString, foreign);
        QFETCH(QString, refusal);
        const QString folder = dir.filePath(QTest::currentDataTag()), path = folder + "/dataSoftware.db";
        const QString good = dir.filePath("good");
        const QVector<CatalogueEntry> three = {Support::entry("a", "a"), Support::entry("b", "b"), Support::entry("c", "")};
        QVERIFY(QDir().mkdir(folder) && CatalogueCodec::saveFile(good, three));
        QVERIFY(kind != "file" || QFile::copy(good, path));
        QVERIFY(kind != "link" || QFile::link(good, path));
        QVERIFY(kind != "folder" || QDir().mkdir(path));
        const QByteArray f = QFile::encodeName(path), d = QFile::encodeName(folder);
        QVERIFY(fileMode == 0 || (::chmod(f, fileMode) == 0 && ::chown(f, foreign == "file" ? 65534 : 0, -1) == 0));
        QVERIFY(::chmod(d, dirMode) == 0 && ::chown(d, foreign == "folder" ? 65534 : 0, -1) == 0);
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

    void logLine_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("line");
        QTest::newRow("plain") << "abc" << "abc";
        QTest::newRow("LF in a field") << "a\n[01.01.2000 00:00:00]  forged" << "a\n [01.01.2000 00:00:00]  forged";
        QTest::newRow("an indented second line stays") << "невозможна:\n E: x" << "невозможна:\n E: x";
        QTest::newRow("CR LF, lone CR, LF at the end") << "a\r\nb\rc\n" << "a\\r\n b\\rc\n ";
    }
    void logLine()
    {
        QFETCH(QString, message);
        QFETCH(QString, line);
        QCOMPARE(formatLogLine(QDateTime(QDate(2026, 12, 5), QTime(23, 53, 29)), message),
                 "[05.12.2026 23:53:29]  " + line + "\n");
    }

    void screenFit_data()
    {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("fitted");
        QTest::newRow("large screen: unchanged") << QRect(10, 20, 700, 800) << QRect(0, 0, 1920, 1050)
                                                 << QRect(10, 20, 700, 800);
        QTest::newRow("1366 x 768 with a panel") << QRect(0, 0, 700, 800) << QRect(0, 28, 1366, 740)
                                                 << QRect(0, 58, 700, 710);
        QTest::newRow("wider and higher than the screen") << QRect(-50, 0, 900, 700) << QRect(0, 0, 800, 600)
                                                          << QRect(0, 30, 800, 570);
    }
    void screenFit()
    {
        QFETCH(QRect, wanted);
        QFETCH(QRect, available);
        QTEST(ScreenFit::fit(wanted, available, QMargins(0, 30, 0, 0)), "fitted");
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"

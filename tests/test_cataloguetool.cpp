// The catalogue's text form and playbook: exact round trips, playbooks that keep every field as data, the tool's
// failures, and a real Ansible run (the suite runs in the sandbox without network).
#include <QJsonDocument>

#include "catalogue/cataloguetext.h"
#include "catalogue/playbook.h"
#include "tests/support/support.h"

using Support::entry;
using Support::fetch;

namespace {

const QString Tool = QStringLiteral(ZAVIRON_BINARY_DIR "/zaviron-catalogue");
const QString DefaultDb = QStringLiteral(ZAVIRON_BINARY_DIR "/dataSoftware.db");
const QString Pwn = QStringLiteral("{{ lookup('pipe','touch /tmp/pwned') }}");

CatalogueEntry fields(const QStringList &six) { return CatalogueEntry::fromFields(six); }
ProcessResult run(const QString &program, const QStringList &args) { return runProgram(program, args, 300000); }

// Every !unsafe string of the playbook as YAML reads it, in order; "<no yaml>" when it does not load.
QStringList unsafeStrings(const QString &playbook)
{
    const QString script = QStringLiteral(
        "import json, sys, yaml\nclass U(str): pass\n"
        "yaml.SafeLoader.add_constructor('!unsafe', lambda l, n: U(l.construct_scalar(n)))\n"
        "walk = lambda o: [o] if isinstance(o, U) else sum(map(walk, o.values() if isinstance(o, dict) else o), [])"
        " if isinstance(o, (dict, list)) else []\nprint(json.dumps(walk(yaml.safe_load(sys.stdin))))");
    const ProcessResult r = runProgram(QStringLiteral("python3"), {"-c", script}, 30000, playbook.toUtf8());
    return r.exitCode == 0 ? QJsonDocument::fromJson(r.out).toVariant().toStringList() : QStringList{"<no yaml>"};
}

} // namespace

class TestCatalogueTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("LC_ALL", "C.UTF-8"); } // Ansible refuses other locales

    void textRoundTrip_data()
    {
        QTest::addColumn<Entries>("entries");
        Entries bundled;
        QVERIFY(CatalogueAccess::read(DefaultDb, &bundled));
        QTest::newRow("default catalogue") << bundled;
        QTest::newRow("quotes and backslashes") << Entries{fields({"\"quoted\"", "a \"b\" \\n c\\", "x\"", "\\"})};
        QTest::newRow("template and comment syntax") << Entries{fields({"{{ x }} {% y %}", "# no comment", "#", Pwn})};
        QTest::newRow("key syntax in values") << Entries{fields({"Title: x", ":", "PPA:", "a: b: c", " : ", "\"\""})};
        QTest::newRow("line breaks") << Entries{fields({"a\nb", "\r\n", "\n", "c\u2028d\u2029", "e\u0085f", "\n\nPPA: y"})};
        QTest::newRow("Cyrillic, pairs, noncharacters") << Entries{fields({"Файлы", "😀\U0001FFFE", "\uFFFF\uFDD0", "\uFEFF"})};
        QTest::newRow("blanks at either end") << Entries{fields({" lead", "trail ", "  ", "\t", " \u00A0 ", "\u3000x"})};
        QTest::newRow("empty fields and entries") << Entries{fields({}), fields({"", "", "pkg"}), fields({"", "", "", "", "", "x"})};
        QTest::newRow("controls, lone surrogates")
            << Entries{fields({QString(QChar(0)), "\x01\x1b[31m\x7f", QString(QChar(0xD800)), QString(QChar(0xDC00)) + "x"})};
    }

    // Through the tool and its files: the catalogue, its text, and the catalogue made from that text, byte for byte.
    void textRoundTrip()
    {
        Support::WorkDir dir;
        QVERIFY(dir.writeCatalogue(fetch<Entries>("entries")));
        const ProcessResult text = run(Tool, {"to-text", "dataSoftware.db"});
        QVERIFY(text.exitCode == 0 && Support::writeFile("catalogue.txt", text.out));
        const ProcessResult back = run(Tool, {"to-db", "catalogue.txt", "back.db"});
        QVERIFY2(back.exitCode == 0, back.err.constData());
        QCOMPARE(Support::readAll("back.db"), Support::readAll("dataSoftware.db"));
    }

    // Hand-written text: comments and missing keys are fine; an unknown key or a damaged quoted value names its line.
    void parseText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Entries>("expected");
        QTest::addColumn<QString>("error");
        QTest::newRow("comments, missing keys, blank lines")
            << "# c\nTitle: VLC\nInstallTitle: vlc\n\n\nTitle: Код\nAptListEntry: deb http://x/y a:b main"
            << Entries{fields({"VLC", "", "vlc"}), fields({"Код", "", "", "", "", "deb http://x/y a:b main"})} << QString();
        QTest::newRow("unknown key") << "Title: a\nPackage: b\n" << Entries() << "line 2";
        for (const char *value : {"\"abc", "\"a\\qb\"", "\"\\u0x12\"", "\"a\" b"})
            QTest::addRow("damaged %s", value) << QString("Title: a\n\nTitle: b\nPPA: %1\n").arg(value) << Entries()
                                               << "line 4 (entry 2): ";
    }
    void parseText()
    {
        QFETCH(QString, text);
        QFETCH(Entries, expected);
        QFETCH(QString, error);
        Entries got;
        QString why;
        QCOMPARE(CatalogueText::parse(text, &got, &why), error.isEmpty());
        QVERIFY2(why.startsWith(error), qPrintable(why));
        if (error.isEmpty())
            QCOMPARE(CatalogueCodec::encode(got), CatalogueCodec::encode(expected));
    }

    void toolFailures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("text of a damaged file") << QStringList{"to-text", "cut.db"} << 1 << "cut.db: damaged after entry 2,";
        QTest::newRow("playbook of a damaged file") << QStringList{"to-ansible", "cut.db"} << 1 << "cut.db: damaged after entry 2,";
        QTest::newRow("package no entry installs") << QStringList{"to-ansible", "ok.db", "--only", "b", "x"} << 1 << "ok.db: no entry installs x";
        QTest::newRow("--only without a package") << QStringList{"to-ansible", "ok.db", "--only"} << 2 << "usage:";
    }

    void toolFailures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        Support::WorkDir dir;
        const QByteArray whole = CatalogueCodec::encode({entry("a", "a"), entry("b", "b"), entry("c", "c")});
        QVERIFY(Support::writeFile("ok.db", whole) && Support::writeFile("cut.db", whole.left(whole.size() - 3)));
        const ProcessResult r = run(Tool, args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(message.toUtf8()), r.err.constData());
        QCOMPARE(r.out, QByteArray());
    }

    void playbookKeepsFieldsAsData_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QStringList>("only");
        QTest::addColumn<QStringList>("expected");
        const QString key = "https://k.example/k.gpg?{% x %}", by = "signed-by=" + Playbook::keyPath(key);
        const QString line = "deb https://r.example/{# c #} stable main", title = Pwn + "\n- \"'#: x\u0085y";
        QTest::newRow("hostile fields, new options block")
            << Entries{fields({title, "", "pkg-a", "ppa:a/b # {{ x }}", key, line})} << QStringList()
            << QStringList{"entry 1 (" + title + "): PPA", "ppa:a/b # {{ x }}", "entry 1 (" + title + "): signing key", key,
                           "entry 1 (" + title + "): sources line", "deb [" + by + "] https://r.example/{# c #} stable main", "pkg-a"};
        const QString own = "deb [signed-by=/usr/share/keyrings/own.gpg] https://o/ s main";
        QTest::newRow("options block extended, own keyring kept")
            << Entries{fields({"B", "", "pkg-b", "", key, "deb [arch=amd64] https://r/ s main"}), fields({"C", "", "pkg-c", "", key, own})}
            << QStringList()
            << QStringList{"entry 1 (B): signing key", key, "entry 1 (B): sources line", "deb [arch=amd64 " + by + "] https://r/ s main",
                           "entry 2 (C): signing key", key, "entry 2 (C): sources line", own, "pkg-b", "pkg-c"};
        QTest::newRow("no package name, left out")
            << Entries{fields({"A\u2028    - name: !unsafe x", "", "a b\uFFFF\n    - name: !unsafe y", "ppa:x/y"}), entry("D", "pkg-d")}
            << QStringList() << QStringList{"pkg-d"};
        QTest::newRow("only the named package, once")
            << Entries{fields({"E", "", "pkg-e", "ppa:e/e"}), fields({"F", "", "pkg-f", "ppa:f/f"}), entry("G", "pkg-f")}
            << QStringList{"pkg-f"} << QStringList{"entry 2 (F): PPA", "ppa:f/f", "pkg-f"};
    }

    void playbookKeepsFieldsAsData()
    {
        QFETCH(Entries, entries);
        QFETCH(QStringList, only);
        QFETCH(QStringList, expected);
        const QString playbook = Playbook::generate(entries, only);
        QCOMPARE(unsafeStrings(playbook), expected);
        Support::WorkDir dir;
        QVERIFY(Support::writeFile("playbook.yml", playbook.toUtf8()));
        const ProcessResult check = run("ansible-playbook", {"--syntax-check", "-i", "localhost,", "playbook.yml"});
        QVERIFY2(check.exitCode == 0, (check.out + check.err).constData());
    }

    void playbookInstallsOnceThenChangesNothing()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this test installs packages: run it in the sandbox");
        Support::WorkDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther | QFile::ReadOther));
        const QString plain = dir.path() + "/plain", signedRepo = dir.path() + "/signed";
        QByteArray armored, binary;
        QVERIFY(AptFixture::buildPackage(plain, "zv-plain") && AptFixture::indexRepository(plain));
        QVERIFY(AptFixture::buildPackage(signedRepo, "zv-signed") && AptFixture::indexRepository(signedRepo));
        QVERIFY(AptFixture::makeKey(dir.path() + "/gnupg", &armored, &binary));
        QVERIFY(AptFixture::signRepository(signedRepo, dir.path() + "/gnupg"));
        QVERIFY(Support::writeFile("key.asc", armored) && AptFixture::onlySources(QByteArray()));
        QVERIFY(dir.writeCatalogue({entry(Pwn, "zv-plain", "", "", "deb [trusted=yes] file:" + plain + " ./"),
                                    entry("S", "zv-signed", "", "file://" + dir.path() + "/key.asc", "deb file:" + signedRepo + " ./")}));
        const ProcessResult made = run(Tool, {"to-ansible", "dataSoftware.db"});
        QVERIFY(made.exitCode == 0 && Support::writeFile("playbook.yml", made.out));
        qputenv("ANSIBLE_LOCAL_TEMP", (dir.path() + "/.ansible").toUtf8());
        const QStringList args{"-c", "local", "-i", "localhost,", "playbook.yml"};
        const ProcessResult first = run("ansible-playbook", args);
        QVERIFY2(first.exitCode == 0, first.out.right(3000).constData());
        const ProcessResult status = run("dpkg-query", {"-W", "-f=${Status};", "zv-plain", "zv-signed"});
        QCOMPARE(status.out, QByteArray("install ok installed;install ok installed;"));
        const ProcessResult second = run("ansible-playbook", args);
        QVERIFY2(second.exitCode == 0 && second.out.contains(" changed=0 "), second.out.right(3000).constData());
        QVERIFY(!QFile::exists("/tmp/pwned"));
    }
};

QTEST_GUILESS_MAIN(TestCatalogueTool)
#include "test_cataloguetool.moc"

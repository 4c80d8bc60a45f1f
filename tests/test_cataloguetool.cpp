// The catalogue's text form and the tool's playbooks: exact round trips, the reader's errors, every field kept as data
// (as Ansible reads it), what the window refuses left out.
#include <QJsonDocument>

#include "catalogue/cataloguetext.h"
#include "catalogue/playbook.h"
#include "tests/support/support.h"

namespace {

const QString Pwn = QStringLiteral("{{ lookup('pipe','touch /tmp/pwned') }}");

CatalogueEntry fields(const QStringList &six) { return CatalogueEntry::fromFields(six); }

// Every !unsafe string of the playbook as YAML reads it, in order; "<no yaml>" when it does not load.
QStringList unsafeStrings(const QString &playbook)
{
    const ProcessResult r = runProgram("python3", {"-c", "import json, sys, yaml\nclass U(str): pass\nyaml.SafeLoader.add_constructor('!unsafe', lambda l, n: U(l.construct_scalar(n)))\n"
        "walk = lambda o: [o] if isinstance(o, U) else sum(map(walk, o.values() if isinstance(o, dict) else o), []) if isinstance(o, (dict, list)) else []\n"
        "print(json.dumps(walk(yaml.safe_load(sys.stdin))))"}, 30000, playbook.toUtf8());
    return r.exitCode == 0 ? QJsonDocument::fromJson(r.out).toVariant().toStringList() : QStringList{"<no yaml>"};
}

} // namespace

class TestCatalogueTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("LC_ALL", "C.UTF-8"); } // Ansible refuses other locales

    // Any catalogue goes through the text form and back, even after an editor stripped the blanks at line ends; a line
    // the reader cannot take is named.
    void textForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Entries>("expected");
        QTest::addColumn<QString>("error");
        const auto back = [](const char *name, const Entries &e) { QTest::newRow(name) << CatalogueText::format(e).replace(QRegularExpression("[ \t]+\n"), "\n") << e << QString(); };
        back("quotes, template, comment and key syntax", {fields({"\"quoted\"", "a \"b\" \\n c\\", "x\"", "\\", "{{ x }} {% y %}", "# no comment"}), fields({"#", Pwn, "Title: x", ":", "a: b: c", "\"\""})});
        back("line breaks, blanks at either end", {fields({"a\nb", "\r\n", "\n", "c\u2028d\u2029", "e\u0085f", "\n\nPPA: y"}), fields({"x\r", " lead", "trail ", "  ", "\t", " \u00A0 \u3000x"})});
        back("Cyrillic, pairs, noncharacters, controls, lone surrogates", {fields({"Файлы", "😀\U0001FFFE", "\uFFFF\uFDD0\uFEFF", QString(QChar(0)), "\x01\x1b[31m\x7f", QString(QChar(0xD800)) + QChar(0xDC00) + "x"})});
        back("empty fields and entries", {fields({}), fields({"", "", "pkg"}), fields({"", "", "", "", "", "x"})});
        QTest::newRow("null marker") << CatalogueText::format(CatalogueCodec::decode(QByteArray::fromHex("FFFFFFFF") + QByteArray(20, 0))) << Entries{fields({})} << QString();
        QTest::newRow("comments, missing keys, blank lines") << "# c\nTitle: VLC\nInstallTitle: vlc\n\n\nTitle: Код\nAptListEntry: deb http://x/y a:b main"
                                                             << Entries{fields({"VLC", "", "vlc"}), fields({"Код", "", "", "", "", "deb http://x/y a:b main"})} << QString();
        QTest::newRow("CR LF line ends") << "Title: a\r\nPPA: \"b\\r\" \r\n\r\nTitle: c\r" << Entries{fields({"a", "", "", "b\r"}), fields({"c"})} << QString();
        QTest::newRow("a key twice: no blank line") << "Title: a\nPPA: a\nTitle: b\n" << Entries() << "line 3 (entry 1): Title again in the same entry (first on line 1)";
        for (const char *line : {"Package: b", "PPA: \"abc", "PPA: \"a\\qb\"", "PPA: \"\\u0x12\"", "PPA: \"a\" b"}) // unknown key, damaged quoted values
            QTest::addRow("%s", line) << QString("Title: a\n\nTitle: b\n%1\n").arg(line) << Entries() << "line 4 (entry 2): ";
    }
    void textForm()
    {
        QFETCH(QString, error);
        Entries got;
        QString why; // names the line
        QCOMPARE(CatalogueText::parse(Support::fetch<QString>("text"), &got, &why), error.isEmpty());
        QVERIFY2(why.startsWith(error), qPrintable(why));
        QCOMPARE(CatalogueCodec::encode(got).toHex(), CatalogueCodec::encode(Support::fetch<Entries>("expected")).toHex());
    }

    // Every field reaches YAML as data; an entry with a field the window would refuse, or whose key cannot be had,
    // is left out whole with a comment per reason.
    void playbook_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QStringList>("only");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("leftOut");
        const QString key = "https://k.example/k.gpg", own = "deb [signed-by=/usr/share/keyrings/own.gpg] https://o/ s main", by = "signed-by=" + Playbook::keyPath(key), t = Pwn + "\n- \"'#: x\u0085y", k = Playbook::armoured("KEY");
        const auto row = [](int n, const QString &title, const QString &package) { return QStringList{QString("entry %1 (%2), package %3").arg(n).arg(title, package), package}; };
        QTest::newRow("hostile fields; options block new, extended, own keyring kept")
            << Entries{fields({t, "", "pkg-a", "", key, "deb https://r/{# c #} s main"}), fields({"B", "", "pkg-b", "", key, "deb [arch=amd64] https://r/ s main"}), fields({"C", "", "pkg-b", "", key, own})}
            << QStringList() << row(1, t, "pkg-a") + row(2, "B", "pkg-b") + row(3, "C", "pkg-b") + QStringList{"entry 1 (" + t + "): repository", k, "deb [" + by + "] https://r/{# c #} s main\n",
                                "entry 2 (B): repository", k, "deb [arch=amd64 " + by + "] https://r/ s main\n", "entry 3 (C): repository", k, own + "\n"} << 0;
        QTest::newRow("no package name") << Entries{fields({"A\u2028    - name: !unsafe x", "", "a b\uFFFF\n    - name: !unsafe y", "ppa:x/y"}), Support::entry("D", "pkg-d")}
                                         << QStringList() << row(2, "D", "pkg-d") << 1;
        QTest::newRow("PPA, key address, key, sources line refused: the entry goes whole")
            << Entries{fields({"H", "", "pkg-h", "ppa:x/y; rm", "file:///root/secret", "deb [trusted=yes] https://r/ s main"}), fields({"I", "", "pkg-i", "", "http://k/k.asc", "deb https://r/ s main"}),
                       fields({"J", "", "pkg-j", "", "", "deb [Allow-Insecure+=yes] https://r/ s main"}), fields({"G", "", "pkg-g", "", "https://gone.example/k.asc"}), Support::entry("L", "pkg-l")}
            << QStringList() << row(5, "L", "pkg-l") << 6;
        QTest::newRow("half a surrogate pair") << Entries{fields({"K", "", "pkg-k", "", "", "deb https://r/" + QString(QChar(0xDC00)) + " s main"}), Support::entry("L", "pkg-l")}
                                               << QStringList() << row(2, "L", "pkg-l") << 1;
        QTest::newRow("only the named package")
            << Entries{fields({"E", "", "pkg-e", "ppa:e/e"}), fields({"F", "", "pkg-f", "ppa:f/f"}), Support::entry("G", "pkg-f")} << QStringList{"pkg-f"} << row(2, "F", "pkg-f") + row(3, "G", "pkg-f") + QStringList{"entry 2 (F): repository", "ppa:f/f"} << 0;
    }
    void playbook()
    {
        Support::WorkDir dir;
        int fetched = 0;
        const QString playbook = Playbook::generate(Support::fetch<Entries>("entries"), Support::fetch<QStringList>("only"), nullptr, [&](const QString &url, QString *why) {
            ++fetched; // each address once
            *why = "gone";
            return url.contains("k.example") ? QByteArray("KEY") : QByteArray();
        });
        QTEST(unsafeStrings(playbook), "expected");
        QTEST(int(playbook.count("\n  # left out: entry ")), "leftOut");
        QVERIFY(fetched <= 1);
        const ProcessResult check = Support::writeFile("playbook.yml", playbook.toUtf8()) ? runProgram("ansible-playbook", {"--syntax-check", "-i", "localhost,", "playbook.yml"}, 60000) : ProcessResult();
        QVERIFY2(check.exitCode == 0, (check.out + check.err).constData());
    }
};

QTEST_GUILESS_MAIN(TestCatalogueTool)
#include "test_cataloguetool.moc"

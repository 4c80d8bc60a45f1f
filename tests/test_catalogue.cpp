// The catalogue file: byte layout, damaged files, rewrite and append safety, and the readable source form.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "catalogue/cataloguecodec.h"
#include "catalogue/cataloguetext.h"

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text)); }

// The 118-byte record of one entry with three empty optional fields, laid out as offset, bytes.
const QByteArray Example = hex("0000001E"
                               "0047006E006F006D006500200043006F006D006D0061006E006400650072"
                               "00000022"
                               "042404300439043B043E0432044B0439"
                               "0020043C0435043D04350434043604350440"
                               "0000001E"
                               "0067006E006F006D0065002D0063006F006D006D0061006E006400650072"
                               "00000000"
                               "00000000"
                               "00000000");

CatalogueEntry entry(const QString &title, const QString &description = QString(), const QString &package = QString(),
                     const QString &ppa = QString(), const QString &key = QString(), const QString &line = QString())
{
    return CatalogueEntry::fromFields({title, description, package, ppa, key, line});
}

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
    return b;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), qint64(data.size()));
}

} // namespace

Q_DECLARE_METATYPE(CatalogueEntry)
Q_DECLARE_METATYPE(QVector<CatalogueEntry>)

class TestCatalogue : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *dir = nullptr;
    QString path() const { return dir->filePath(QStringLiteral("dataSoftware.db")); }

private slots:
    void init() { dir = new QTemporaryDir(); }
    void cleanup() { delete dir; }

    void workedExampleBothWays()
    {
        // The sample below is the layout of the file byte for byte; its second field is Cyrillic.
        const CatalogueEntry gc = entry(QStringLiteral("Gnome Commander"), QStringLiteral("Файловый менеджер"),
                                        QStringLiteral("gnome-commander"));
        const QByteArray expected = Example;
        QCOMPARE(CatalogueCodec::encodeEntry(gc).size(), 118);
        QCOMPARE(CatalogueCodec::encodeEntry(gc).toHex(), expected.toHex());
        const QVector<CatalogueEntry> back = CatalogueCodec::decode(expected);
        QCOMPARE(back.size(), 1);
        QCOMPARE(back.at(0).fields(), gc.fields());
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QVector<CatalogueEntry>>("expected");

        const QByteArray empty24(24, '\0');
        QTest::newRow("zero-length file is an empty catalogue") << QByteArray() << QVector<CatalogueEntry>();
        QTest::newRow("all-empty record is 24 zero bytes") << empty24 << QVector<CatalogueEntry>{entry(QString())};
        QTest::newRow("two identical records stay two")
            << empty24 + empty24 << QVector<CatalogueEntry>{entry(QString()), entry(QString())};

        // Damaged data: the cut-off record still becomes a row, its missing fields empty.
        const QByteArray title = be32(4) + hex("00410042"); // "AB"
        QTest::newRow("file ends after the first field")
            << title << QVector<CatalogueEntry>{entry(QStringLiteral("AB"))};
        QTest::newRow("file ends inside a length word")
            << title + hex("0000") << QVector<CatalogueEntry>{entry(QStringLiteral("AB"))};
        QTest::newRow("odd length word ends the reading")
            << title + be32(3) + hex("004100") + empty24 << QVector<CatalogueEntry>{entry(QStringLiteral("AB"))};
        QTest::newRow("length past the end ends the reading")
            << title + be32(40) + hex("0041") << QVector<CatalogueEntry>{entry(QStringLiteral("AB"))};
        QTest::newRow("huge length word")
            << be32(0x7FFFFFF0u) + QByteArray(1020, 'x') << QVector<CatalogueEntry>{entry(QString())};
        QTest::newRow("null marker reads as an empty field")
            << title + be32(0xFFFFFFFFu) + be32(2) + hex("0043") + be32(0) + be32(0) + be32(0)
            << QVector<CatalogueEntry>{entry(QStringLiteral("AB"), QString(), QStringLiteral("C"))};
    }

    void decode()
    {
        QFETCH(QByteArray, data);
        QFETCH(QVector<CatalogueEntry>, expected);
        const QVector<CatalogueEntry> got = CatalogueCodec::decode(data);
        QCOMPARE(got.size(), expected.size());
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(got.at(i).fields(), expected.at(i).fields());
    }

    void roundTripKeepsTextsExactly_data()
    {
        QTest::addColumn<CatalogueEntry>("e");
        QTest::newRow("blanks at both ends") << entry(QStringLiteral("  VLC "), QStringLiteral(" плеер  "));
        QTest::newRow("several words in the package field")
            << entry(QStringLiteral("x"), QString(), QStringLiteral("vim emacs"));
        QTest::newRow("all six fields, Cyrillic and symbols")
            << entry(QStringLiteral("Код"), QStringLiteral("Редактор «кода»"), QStringLiteral("code"),
                     QStringLiteral("ppa:someone/some-archive"), QStringLiteral("https://example.org/key.asc"),
                     QStringLiteral("deb [arch=amd64] https://example.org/repo stable main"));
        QTest::newRow("characters outside the basic plane") << entry(QString::fromUtf8("\xF0\x9F\x98\x80 ok"));
    }

    void roundTripKeepsTextsExactly()
    {
        QFETCH(CatalogueEntry, e);
        QVERIFY(CatalogueCodec::saveFile(path(), {e, e}));
        QVector<CatalogueEntry> back;
        QVERIFY(CatalogueCodec::readFile(path(), &back));
        QCOMPARE(back.size(), 2);
        QCOMPARE(back.at(0).fields(), e.fields());
        QCOMPARE(back.at(1).fields(), e.fields());
    }

    void missingFileIsNotReadable()
    {
        QVector<CatalogueEntry> entries{entry(QStringLiteral("stale"))};
        QVERIFY(!CatalogueCodec::readFile(path(), &entries));
        QVERIFY(entries.isEmpty());
    }

    void appendAddsOneRecordAtTheEnd()
    {
        QVERIFY(CatalogueCodec::appendEntry(path(), entry(QStringLiteral("first")))); // creates the file
        const QByteArray before = readAll(path());
        const CatalogueEntry second = entry(QStringLiteral("second"), QStringLiteral("описание"));
        QVERIFY(CatalogueCodec::appendEntry(path(), second));
        QCOMPARE(readAll(path()), before + CatalogueCodec::encodeEntry(second));
    }

    void rewriteOfAnEmptyTableLeavesAZeroLengthFile()
    {
        writeAll(path(), Example);
        QVERIFY(CatalogueCodec::saveFile(path(), {}));
        QVERIFY(QFile::exists(path()));
        QCOMPARE(QFileInfo(path()).size(), qint64(0));
    }

    void textSource_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector<CatalogueEntry>>("expected");
        QTest::newRow("two entries, missing keys empty, comments skipped")
            << QStringLiteral("# comment\nTitle: VLC\nInstallTitle: vlc\n\n\nTitle: Код\nPPA: ppa:a/b\n")
            << QVector<CatalogueEntry>{entry(QStringLiteral("VLC"), QString(), QStringLiteral("vlc")),
                                       entry(QStringLiteral("Код"), QString(), QString(), QStringLiteral("ppa:a/b"))};
        QTest::newRow("value keeps its own blanks and colons")
            << QStringLiteral("Title:  two  \nAptListEntry: deb http://x/y a:b main")
            << QVector<CatalogueEntry>{entry(QStringLiteral(" two  "), QString(), QString(), QString(), QString(),
                                             QStringLiteral("deb http://x/y a:b main"))};
    }

    void textSource()
    {
        QFETCH(QString, text);
        QFETCH(QVector<CatalogueEntry>, expected);
        QVector<CatalogueEntry> got;
        QString error;
        QVERIFY2(CatalogueText::parse(text, &got, &error), qPrintable(error));
        QCOMPARE(got.size(), expected.size());
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(got.at(i).fields(), expected.at(i).fields());
    }

    void textSourceRejectsUnknownKeys()
    {
        QVector<CatalogueEntry> got;
        QString error;
        QVERIFY(!CatalogueText::parse(QStringLiteral("Title: a\nPackage: b\n"), &got, &error));
        QVERIFY2(error.contains(QLatin1String("line 2")), qPrintable(error));
    }

    void bundledCatalogueIsWellFormed()
    {
        QVector<CatalogueEntry> entries;
        QVERIFY(CatalogueCodec::readFile(QStringLiteral(ZAVIRON_BINARY_DIR "/dataSoftware.db"), &entries));
        QVERIFY2(entries.size() >= 20 && entries.size() <= 30, qPrintable(QString::number(entries.size())));
        for (const CatalogueEntry &e : entries) {
            QVERIFY2(!e.title.isEmpty() && !e.installTitle.isEmpty(), qPrintable(e.title));
            QVERIFY2(!e.installTitle.contains(QLatin1Char(' ')), qPrintable(e.installTitle));
        }
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"

// What the program decides without a window: whose catalogue it reads and writes, log lines that stay one entry
// each, and windows fitted to small screens.
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "app/logline.h"
#include "app/screenfit.h"
#include "catalogue/catalogueaccess.h"
#include "tests/support/support.h"

class TestAccess : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
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

QTEST_GUILESS_MAIN(TestAccess)
#include "test_access.moc"

// The main window in the sandbox: layout and texts after start-up, ticking rows, the log line, the way out.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include "app/logline.h"
#include "app/messagebox.h"
#include "app/ownprocesses.h"
#include "app/process.h"
#include "app/safefile.h"
#include "app/syspaths.h"
#include "catalogue/cataloguecodec.h"
#include "mainwindow/formmain.h"

struct FormMainProbe {
    static bool needUpdate(const FormMain *w) { return w->needUpdate; }
};

namespace {

const QString Marked = QStringLiteral("ПО отмечено для установки");
const QString Unmarked = QStringLiteral("ПО не будет установлено");

CatalogueEntry entry(const QString &title, const QString &package)
{
    return CatalogueEntry::fromFields({title, QStringLiteral("описание"), package});
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Puts a row into the state "marked for installation", as the start-up status check leaves a missing package.
void markRow(FormMain *w, int row)
{
    w->showRow(row, RowState::Marked);
}

} // namespace

class TestFormMain : public QObject
{
    Q_OBJECT

    QTemporaryDir *dir = nullptr;
    QString oldDir;

    FormMain *openWindow(const QVector<CatalogueEntry> &entries)
    {
        CatalogueCodec::saveFile(QString::fromLatin1(Sys::CatalogueFile), entries);
        return new FormMain();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite touches system paths: run it in the sandbox");
        // Any box the start-up shows is answered at once.
        MessageBoxes::setAnswerer([](QMessageBox *) { return int(QMessageBox::Close); });
    }

    void init()
    {
        dir = new QTemporaryDir();
        oldDir = QDir::currentPath();
        QDir::setCurrent(dir->path());
    }

    void cleanup()
    {
        QDir::setCurrent(oldDir);
        delete dir;
    }

    void startUpStateOfTheWindow()
    {
        QScopedPointer<FormMain> w(openWindow({entry(QStringLiteral("A"), QStringLiteral("pkg-a"))}));
        QVERIFY(w->isVisible());
        QCOMPARE(w->size(), QSize(700, 600 - 32)); // 700 x 800 fitted to the 800 x 600 offscreen screen
        QVERIFY(!w->ButtonOK->isEnabled() && w->ButtonCheck->isEnabled() && w->ButtonCheck->isVisible());
        QCOMPARE(w->installLabel->text(),
                 QStringLiteral("Выполнена проверка статуса всех программ из базы (dataSoftware.db)."));
        for (int c = 5; c <= 8; ++c)
            QVERIFY(w->Table->isColumnHidden(c));
        QCOMPARE(w->Table->item(0, 1)->text(), QStringLiteral("A"));
        QCOMPARE(w->Table->item(0, 5)->text(), QStringLiteral("pkg-a"));
        QVERIFY(!FormMainProbe::needUpdate(w.data()));
    }

    void missingOrEmptyCatalogueGivesAnEmptyTable_data()
    {
        QTest::addColumn<bool>("fileExists");
        QTest::newRow("missing file") << false;
        QTest::newRow("zero-length file") << true;
    }

    void missingOrEmptyCatalogueGivesAnEmptyTable()
    {
        QFETCH(bool, fileExists);
        if (fileExists)
            CatalogueCodec::saveFile(QString::fromLatin1(Sys::CatalogueFile), {});
        FormMain w;
        QCOMPARE(w.Table->rowCount(), 0);
        QCOMPARE(w.loadFile(), fileExists);
        QVERIFY(!w.ButtonOK->isEnabled());
    }

    // A field that apt would read as its own syntax is never marked: the start-up says so, escaped, and the row
    // cannot be ticked; a package name beside it is marked as usual.
    void onlyPackageNamesAreMarked()
    {
        QStringList shown;
        MessageBoxes::setAnswerer([&shown](QMessageBox *box) {
            shown << box->text();
            return int(QMessageBox::Close);
        });
        QScopedPointer<FormMain> w(openWindow({entry("A", "gdm3-"), entry("B", "/tmp/<b>x.deb"), entry("C", "zv-absent")}));
        MessageBoxes::setAnswerer([](QMessageBox *) { return int(QMessageBox::Close); });
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown.at(1).contains(QStringLiteral("/tmp/&lt;b&gt;x.deb")), qPrintable(shown.at(1)));
        for (int row : {0, 1}) {
            QCOMPARE(w->rowState(row), RowState::NotInstallable);
            QVERIFY(!(w->Table->item(row, 0)->flags() & Qt::ItemIsUserCheckable) ||
                    w->Table->item(row, 0)->checkState() == Qt::Unchecked);
        }
        QCOMPARE(w->rowState(2), RowState::Marked);
    }

    void clickCheckBox_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("untickFirst");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<bool>("barVisible");

        QTest::newRow("untick a marked row") << 0 << true << Unmarked << QStringLiteral("Нет") << QColor(180, 0, 0)
                                             << false;
        QTest::newRow("tick it again") << 0 << false << Marked << QStringLiteral("Да") << QColor(11, 127, 107)
                                       << true;
        QTest::newRow("a click on another column changes nothing")
            << 2 << true << Marked << QStringLiteral("Да") << QColor() << true;
    }

    void clickCheckBox()
    {
        QFETCH(int, column);
        QFETCH(bool, untickFirst);
        QFETCH(QString, status);
        QFETCH(QString, selection);
        QFETCH(QColor, colour);
        QFETCH(bool, barVisible);

        QScopedPointer<FormMain> w(openWindow({entry(QStringLiteral("A"), QStringLiteral("pkg-a"))}));
        markRow(w.data(), 0);
        // The view toggles the check state before it reports the click.
        w->Table->item(0, 0)->setCheckState(Qt::Unchecked);
        if (!untickFirst) {
            w->clickCheckBox(0, 0);
            w->Table->item(0, 0)->setCheckState(Qt::Checked);
        }
        w->clickCheckBox(0, column);
        if (column != 0)
            w->Table->item(0, 0)->setCheckState(Qt::Checked); // undo the test's own toggle
        QCOMPARE(w->Table->item(0, 4)->text(), status);
        QCOMPARE(w->Table->item(0, 0)->text(), selection);
        QCOMPARE(w->Table->item(0, 0)->checkState(), selection == QStringLiteral("Да") ? Qt::Checked : Qt::Unchecked);
        if (colour.isValid()) {
            QCOMPARE(w->Table->item(0, 4)->foreground().color(), colour);
            QCOMPARE(w->Table->item(0, 0)->foreground().color(), colour);
        }
        QCOMPARE(w->Table->cellWidget(0, 3)->isVisibleTo(w->Table), barVisible);
    }

    void clickOnARowWithoutStatusChangesNothing()
    {
        QScopedPointer<FormMain> w(openWindow({entry(QStringLiteral("A"), QStringLiteral("two words"))}));
        delete w->Table->takeItem(0, 4);
        w->Table->item(0, 0)->setCheckState(Qt::Checked);
        w->clickCheckBox(0, 0);
        QCOMPARE(w->Table->item(0, 0)->text(), QString());
        QVERIFY(!w->Table->item(0, 4));
    }

    void deleteRowsByPosition()
    {
        const QVector<CatalogueEntry> three = {entry(QStringLiteral("same"), QStringLiteral("x")),
                                               entry(QStringLiteral("same"), QStringLiteral("x")),
                                               entry(QStringLiteral("other"), QStringLiteral("y"))};
        QScopedPointer<FormMain> w(openWindow(three));
        w->Table->item(2, 2)->setText(QStringLiteral("новое описание")); // an edited cell goes along with the rewrite
        QVERIFY(w->delRow(1));
        CatalogueEntry edited = three[2];
        edited.description = QStringLiteral("новое описание");
        QCOMPARE(readAll(QString::fromLatin1(Sys::CatalogueFile)), CatalogueCodec::encode({three[0], edited}));
        QVERIFY(w->delRow(0));
        QVERIFY(w->delRow(0));
        QCOMPARE(QFileInfo(QString::fromLatin1(Sys::CatalogueFile)).size(), qint64(0)); // the file stays, empty
        QVERIFY(QFile::exists(QString::fromLatin1(Sys::CatalogueFile)));
    }

    void rewriteOnAFullDiskKeepsTheOldFile()
    {
        // A tiny private file system that the old catalogue nearly fills: the new one cannot be written.
        const QString small = dir->filePath(QStringLiteral("small"));
        QDir().mkpath(small);
        QCOMPARE(runProgram(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                      QStringLiteral("size=16k,mode=0755"), QStringLiteral("tmpfs"), small})
                     .exitCode,
                 0);
        struct Unmount {
            QString path;
            QString back;
            ~Unmount()
            {
                QDir::setCurrent(back);
                runProgram(QStringLiteral("umount"), {path});
            }
        } unmount{small, dir->path()};
        QDir::setCurrent(small);
        QVector<CatalogueEntry> entries;
        for (int i = 0; i < 120; ++i)
            entries << entry(QStringLiteral("программа %1").arg(i), QStringLiteral("p%1").arg(i));
        QVERIFY(CatalogueCodec::saveFile(QString::fromLatin1(Sys::CatalogueFile), entries));
        const QByteArray before = readAll(QString::fromLatin1(Sys::CatalogueFile));
        QVERIFY(before.size() > 8 * 1024);
        {
            FormMain w;
            QCOMPARE(w.Table->rowCount(), 120);
            const bool saved = w.saveFile();
            QVERIFY(!saved);
            // A deletion that cannot reach the file leaves the row in the table as well.
            const QString first = w.Table->item(0, 1)->text();
            QVERIFY(!w.delRow(0));
            QCOMPARE(w.Table->rowCount(), 120);
            QCOMPARE(w.Table->item(0, 1)->text(), first);
            // Through the button: after "Да" the user is told, and the row stays.
            QStringList asked;
            MessageBoxes::setAnswerer([&asked](QMessageBox *box) {
                asked << box->text();
                return int(box->standardButtons() & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Close);
            });
            w.Table->setCurrentCell(3, 1);
            w.ButtonDelete->click();
            MessageBoxes::setAnswerer([](QMessageBox *) { return int(QMessageBox::Close); });
            QCOMPARE(asked.size(), 2);
            QCOMPARE(asked.at(1), QStringLiteral("Не удалось удалить программу из файла dataSoftware.db"));
            QCOMPARE(w.Table->rowCount(), 120);
        }
        QCOMPARE(readAll(QString::fromLatin1(Sys::CatalogueFile)), before);
        QCOMPARE(QDir(small).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("dataSoftware.db")});
    }

    void logLine()
    {
        const QDateTime when(QDate(2026, 12, 5), QTime(23, 53, 29));
        QCOMPARE(formatLogLine(when, QStringLiteral("abc")), QStringLiteral("[05.12.2026 23:53:29]  abc\n"));

        QFile::remove(QString::fromLatin1(Sys::LogFile));
        FormMain w;
        w.writeLog(QStringLiteral("Запуск программы"));
        w.writeLog(QStringLiteral("две\nстроки"));
        const QString log = QString::fromUtf8(readAll(QString::fromLatin1(Sys::LogFile)));
        const QRegularExpression shape(QStringLiteral("^\\[\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\]  Запуск "
                                                      "программы\\n\\[[^]]+\\]  две\\n строки\\n$"));
        QVERIFY2(shape.match(log).hasMatch(), qPrintable(log));
    }

    void cancelRemovesTheLockFileAndClosesTheWindow_data()
    {
        QTest::addColumn<bool>("viaCloseEvent");
        QTest::newRow("the cancel button") << false;
        QTest::newRow("the window's close control") << true;
    }

    void cancelRemovesTheLockFileAndClosesTheWindow()
    {
        QFETCH(bool, viaCloseEvent);
        QVERIFY(SafeFile::write(QString::fromLatin1(Sys::LockFile), "1\n", SafeFile::Truncate));
        FormMain w;
        QVERIFY(w.isVisible());
        if (viaCloseEvent)
            w.close();
        else
            w.ButtonCancel->click();
        QVERIFY(!w.isVisible());
        QVERIFY(!SafeFile::exists(QString::fromLatin1(Sys::LockFile)));
    }

    void cancelEndsOnlyOurOwnAptGet()
    {
        // Both dummies are named apt-get: one is this program's child, the other belongs to nobody here.
        QTemporaryDir bin;
        const QString aptGet = bin.filePath(QStringLiteral("apt-get"));
        QVERIFY(SafeFile::write(aptGet, "#!/bin/sh\nsleep 30\n", SafeFile::Truncate));
        QFile::setPermissions(aptGet, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString pidFile = bin.filePath(QStringLiteral("outside.pid"));
        // A double fork hands the outside one to the namespace's init, out of this program's process tree.
        QCOMPARE(runProgram(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("(\"$1\" & echo $! > \"$2\") &"),
                                                   QStringLiteral("sh"), aptGet, pidFile})
                     .exitCode,
                 0);
        QTRY_VERIFY(!readAll(pidFile).trimmed().isEmpty());
        const pid_t outside = readAll(pidFile).trimmed().toInt();
        QProcess own;
        own.start(aptGet, QStringList());
        QVERIFY(own.waitForStarted());
        QTRY_COMPARE(OwnProcesses::descendantsNamed(QStringLiteral("apt-get")), QList<pid_t>{pid_t(own.processId())});

        {
            FormMain w;
            w.close();
        }
        QVERIFY(own.waitForFinished(5000));
        QCOMPARE(own.exitStatus(), QProcess::CrashExit); // ended by SIGTERM
        QCOMPARE(::kill(outside, 0), 0);                   // still running
        ::kill(outside, SIGTERM);
    }
};

QTEST_MAIN(TestFormMain)
#include "test_formmain.moc"

// The installation run with real apt in the sandbox: a local repository of tiny packages, one that installs, one
// whose maintainer script fails, a package listed twice, nothing marked, and a window closed during the run.
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/aptfixture.h"

#include "app/messagebox.h"
#include "app/process.h"
#include "app/safefile.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "catalogue/cataloguecodec.h"
#include "mainwindow/formmain.h"
#include "mainwindow/packagestatus.h"

namespace {

QString dpkgStatus(const QString &name) { return PackageStatus::queryStatus(name); }

QString readAll(const QString &path) { return QString::fromUtf8(AptFixture::readAll(path)); }

CatalogueEntry entry(const QString &title, const QString &package)
{
    return CatalogueEntry::fromFields({title, QStringLiteral("тест"), package});
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir *dir = nullptr;
    QString oldDir;
    QStringList boxes;
    QTemporaryDir repoDir{QStringLiteral("/var/tmp/zaviron-install-XXXXXX")};
    QString Repo = repoDir.path();

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite installs packages: run it in the sandbox");
        QVERIFY(repoDir.isValid());
        QVERIFY(AptFixture::buildPackage(Repo, QStringLiteral("zv-good")));
        QVERIFY(AptFixture::buildPackage(Repo, QStringLiteral("zv-second")));
        QVERIFY(AptFixture::buildPackage(Repo, QStringLiteral("zv-bad"), true));
        QVERIFY(AptFixture::indexRepository(Repo));
        // apt reads only the local repository.
        QVERIFY(AptFixture::onlySources("deb [trusted=yes] file:" + Repo.toUtf8() + " ./\n"));
        QByteArray errors;
        QVERIFY2(AptFixture::aptUpdate(&errors), errors.constData());
        Timing::setScale(0.05); // the fixed delays shrink twentyfold; the five-minute watch becomes 15 s
        MessageBoxes::setAnswerer([this](QMessageBox *box) {
            boxes << box->text();
            return int(QMessageBox::Close);
        });
    }

    void init()
    {
        boxes.clear();
        dir = new QTemporaryDir();
        oldDir = QDir::currentPath();
        QDir::setCurrent(dir->path());
        QFile::remove(QString::fromLatin1(Sys::LogFile));
    }

    void cleanup()
    {
        QDir::setCurrent(oldDir);
        delete dir;
    }

    void runInstallsJudgesAndGoesOn()
    {
        CatalogueCodec::saveFile(QString::fromLatin1(Sys::CatalogueFile),
                                 {entry(QStringLiteral("Хорошая"), QStringLiteral("zv-good")),
                                  entry(QStringLiteral("Сломанная"), QStringLiteral("zv-bad")),
                                  entry(QStringLiteral("Хорошая снова"), QStringLiteral("zv-good"))});
        FormMain w;
        QCOMPARE(w.Table->item(0, 4)->text(), QStringLiteral("ПО отмечено для установки"));
        QMetaObject::invokeMethod(&w, "ok");
        QVERIFY(!w.ButtonOK->isEnabled() && !w.ButtonAdd->isEnabled() && w.ButtonCancel->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(w.ButtonCancel->text(), QStringLiteral("Закрыть"), 180000);

        QCOMPARE(w.installLabel->text(), QStringLiteral("Установка отмеченных программ выполнена!"));
        for (int row : {0, 2}) {
            QCOMPARE(w.Table->item(row, 4)->text(), QStringLiteral("Закончена установка ПО"));
            auto *bar = qobject_cast<QProgressBar *>(w.Table->cellWidget(row, 3));
            QVERIFY(bar);
            QCOMPARE(bar->maximum(), 100);
            QCOMPARE(bar->value(), 100);
        }
        QCOMPARE(w.Table->item(1, 4)->text(), QStringLiteral("Установка ПО не удалась"));
        QCOMPARE(w.Table->item(1, 4)->foreground().color(), QColor(180, 0, 0));
        QCOMPARE(qobject_cast<QProgressBar *>(w.Table->cellWidget(1, 3))->value(), 0);

        QCOMPARE(dpkgStatus(QStringLiteral("zv-good")), QString::fromUtf8(PackageStatus::InstalledText));
        QVERIFY(dpkgStatus(QStringLiteral("zv-bad")) != QString::fromUtf8(PackageStatus::InstalledText));

        // The package listed twice is installed once, for both rows; the failure is logged and the run goes on.
        const QString log = readAll(QString::fromLatin1(Sys::LogFile));
        const int first = log.indexOf(QStringLiteral("]  Выполнена установка zv-good\n"));
        const int failed = log.indexOf(QStringLiteral("]  Установка программы zv-bad не удалась!\n"));
        const int second = log.indexOf(QStringLiteral("]  Выполнена установка zv-good\n"), first + 1);
        const int end = log.indexOf(QStringLiteral("]  Выполнена установка отмеченных программ!\n"));
        QVERIFY2(first >= 0 && first < failed && failed < end && second < 0, qPrintable(log));
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
    }

    void nothingMarkedClosesTheWindow()
    {
        CatalogueCodec::saveFile(QString::fromLatin1(Sys::CatalogueFile),
                                 {entry(QStringLiteral("Уже есть"), QStringLiteral("bash"))});
        QVERIFY(SafeFile::write(QString::fromLatin1(Sys::LockFile), "1\n", SafeFile::Truncate));
        FormMain w;
        QCOMPARE(w.Table->item(0, 4)->text(), QStringLiteral("ПО уже установлено"));
        QMetaObject::invokeMethod(&w, "ok");
        QCOMPARE(boxes, QStringList{QStringLiteral("  Не отмечена для установки ни одна из программ! Приложение будет "
                                                   "закрыто.")});
        QVERIFY(!w.isVisible());
        QVERIFY(!SafeFile::exists(QString::fromLatin1(Sys::LockFile)));
    }

    void closingDuringTheRunStartsNoFurtherPackage()
    {
        CatalogueCodec::saveFile(QString::fromLatin1(Sys::CatalogueFile),
                                 {entry(QStringLiteral("Первая"), QStringLiteral("zv-second")),
                                  entry(QStringLiteral("Вторая"), QStringLiteral("zv-never"))});
        auto *w = new FormMain();
        QMetaObject::invokeMethod(w, "ok");
        QTRY_COMPARE(FormMain::instProg, QStringLiteral("zv-second")); // its terminal window is open
        w->close(); // a closed window is not destroyed: the terminal window's end still reaches it
        QTest::qWait(3000);
        QVERIFY(!readAll(QString::fromLatin1(Sys::LogFile)).contains(QStringLiteral("zv-never")));
        QCOMPARE(FormMain::instProg, QStringLiteral("zv-second"));
        QVERIFY(!w->installLabel->text().startsWith(QStringLiteral("Выполнена установка")));
        delete w;
    }
};

QTEST_MAIN(TestInstall)
#include "test_install.moc"

// The main window in the sandbox with catalogues it must not change or must show as text, on a small screen, and
// with a second start of the program while the first runs.
#include <QScreen>
#include <QTextDocument>
#include <QtTest>

#include <unistd.h>

#include "app/formstart.h"
#include "app/messagebox.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "catalogue/formadd.h"
#include "catalogue/formedit.h"
#include "mainwindow/formmain.h"
#include "tests/support/support.h"

namespace {
const QString Catalogue = Sys::CatalogueFile;
const QString SecondInstance = "  Уже запущен один экземпляр программы. Закройте запущенную программу, блокирующий "
                               "файл: /tmp/zaviron.lock удаляется.";

// A text as its label shows it to the user: rich text rendered, plain text as it stands.
QString shown(const QString &text, Qt::TextFormat format)
{
    QTextDocument document;
    document.setHtml(text);
    const bool rich = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
    return rich ? document.toPlainText() : text;
}

// A second start of the program: it prints the text of every box it shows and ends when its windows have closed.
int secondStart()
{
    Timing::setScale(0.01);
    MessageBoxes::setAnswerer([](QMessageBox *box) { return ::printf("%s\n", qPrintable(box->text())), 0; });
    FormStart start;
    start.show();
    QTimer::singleShot(15000, [] { QApplication::closeAllWindows(); });
    return QApplication::exec();
}

QString startAgain()
{
    QProcess again;
    again.start(QCoreApplication::applicationFilePath(), {"--start"});
    return again.waitForFinished(20000) ? again.readAllStandardOutput() : "<not ended>";
}
} // namespace

class TestGuard : public QObject
{
    Q_OBJECT
    QStringList boxes;

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite touches system paths: run it sandboxed");
        MessageBoxes::setAnswerer([this](QMessageBox *box) { // "text|informative text" as read, then No or Close
            boxes << shown(box->text(), box->textFormat()) + '|' + shown(box->informativeText(), Qt::AutoText);
            return int(box->button(QMessageBox::No) ? QMessageBox::No : QMessageBox::Close);
        });
    }

    // Three entries with a bad length word after them, or a title with markup: whatever the user does, the
    // catalogue's bytes stay as they were, and the boxes say why.
    void catalogueUnchanged_data()
    {
        QTest::addColumn<QString>("button");  // in the main window, the first row current
        QTest::addColumn<QString>("confirm"); // in the dialog, once the catalogue is damaged behind it
        QTest::addColumn<QString>("title");   // of the first entry
        QTest::addColumn<QString>("box");
        const QString damaged = "Файл списка программ dataSoftware.db повреждён после записи 3. Ничего не записано.|";
        QTest::newRow("damaged: add") << "ButtonAdd" << "" << "a" << damaged + "Список программ не изменён.";
        QTest::newRow("damaged: edit") << "ButtonEdit" << "" << "a" << damaged + "Список программ не изменён.";
        QTest::newRow("damaged: delete") << "ButtonDelete" << "" << "a" << damaged + "Список программ не изменён.";
        QTest::newRow("damaged while adding") << "ButtonAdd" << "ButtonOK" << "a" << damaged + "Запись не сохранена.";
        const QString markup = "<b>x</b><img src=\"/dev/zero\">&amp;";
        QTest::newRow("markup in a title: delete, Нет")
            << "ButtonDelete" << "" << markup << "Вы действительно хотите удалить программу " + markup + " из списка?|";
    }
    void catalogueUnchanged()
    {
        QFETCH(QString, button);
        QFETCH(QString, confirm);
        QFETCH(QString, title);
        Support::WorkDir work;
        QVERIFY(work.writeCatalogue({Support::entry(title, "zv-a"), Support::entry("b", "zv-b"),
                                     Support::entry("c", "zv-c")}));
        const QByteArray damaged = Support::readAll(Catalogue) + QByteArray("\0\0\0\7xxxxxxx", 11);
        const bool spoilLater = !confirm.isEmpty();
        QVERIFY(title != "a" || spoilLater || Support::writeFile(Catalogue, damaged));
        const QByteArray before = spoilLater ? damaged : Support::readAll(Catalogue);
        QPointer<FormMain> first = new FormMain();
        first->setAttribute(Qt::WA_DeleteOnClose);
        first->Table->setCurrentCell(0, 1);
        boxes.clear(); // the damaged entry's package field is no package name: the window has said so
        int dialogs = 0;
        QTimer poll; // works the windows that open inside the click: a dialog, a main window after it
        connect(&poll, &QTimer::timeout, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (!w->isVisible() || w == first)
                    continue;
                if ((qobject_cast<FormAdd *>(w) || qobject_cast<FormEdit *>(w)) && dialogs++ == 0 && spoilLater) {
                    QVERIFY(Support::writeFile(Catalogue, damaged));
                    w->findChild<QLineEdit *>("lineEditTitle")->setText("новая");
                    w->findChild<QPushButton *>(confirm)->click();
                }
                w->close(); // the window's close control: out without a main window
            }
        });
        poll.start(10);
        first->findChild<QPushButton *>(button)->click();
        QCOMPARE(dialogs, spoilLater ? 1 : 0);
        QTEST(boxes.join('\n'), "box");
        QCOMPARE(Support::readAll(Catalogue), before);
        if (first)
            first->close();
    }

    // On a screen lower than the window (offscreen: 800 x 600; a second run under Xvfb: 1366 x 768).
    void everyButtonOnTheScreen()
    {
        Support::WorkDir work;
        QVERIFY(work.writeCatalogue({Support::entry("a", "zv-a")}));
        FormMain w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect screen = w.screen()->availableGeometry();
        const QString size = qgetenv("ZAVIRON_SCREEN"); // the size this run was started with, when given
        QVERIFY(size.isEmpty() || size == QString("%1x%2").arg(screen.width()).arg(screen.height()));
        QVERIFY(screen.height() < 800 && w.frameGeometry().height() <= screen.height());
        for (QPushButton *b : w.findChildren<QPushButton *>()) {
            const QRect at(b->mapToGlobal(QPoint(0, 0)), b->size());
            QVERIFY2(screen.contains(at) && w.rect().contains(b->geometry()), qPrintable(b->objectName()));
        }
        QVERIFY(w.Table->geometry().bottom() < w.ButtonAdd->y()); // the table got shorter, not hidden behind them
        w.close();
    }

    // The first instance (this process) holds the lock from its start window on. A second start is refused while
    // its main window is open, and leaves its lock file in /tmp; and while its entry dialog is open, after the
    // main window's way out has removed that file.
    void secondStartRefused()
    {
        Support::WorkDir work;
        boxes.clear();
        Timing::setScale(1000); // no step of the chain runs by itself
        FormStart start;
        start.checkFileName();
        QVERIFY(Support::writeFile(Sys::LockFile, "4242\n"));
        auto *main = new FormMain();
        QCOMPARE(startAgain(), SecondInstance + '\n');
        QCOMPARE(Support::readAll(Sys::LockFile), QByteArray("4242\n"));
        QString inDialog;
        QTimer::singleShot(0, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            inDialog = qobject_cast<FormAdd *>(dialog) ? startAgain() : "<no add dialog>";
            if (dialog)
                dialog->close();
        });
        main->ButtonAdd->click();
        QCOMPARE(inDialog, SecondInstance + '\n');
        QCOMPARE(boxes, QStringList());
        delete main;
    }

    // A hard link to a file of root's, planted at the lock file's fixed name: the lock step makes a file of its own.
    void lockFileNotWrittenThroughAHardLink()
    {
        const QString target = "/tmp/zv-target"; // a hard link cannot leave the file system that /tmp lies on
        QFile::remove(Sys::LockFile);
        QVERIFY(Support::writeFile(target, "keep me\n") && ::link(QFile::encodeName(target), Sys::LockFile) == 0);
        Timing::setScale(1000);
        FormStart().openLockFile();
        QCOMPARE(Support::readAll(target), QByteArray("keep me\n"));
        QVERIFY(QFileInfo(Sys::LockFile).isFile() && Support::readAll(Sys::LockFile) != "keep me\n");
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--start") == 0)
        return secondStart();
    TestGuard suite;
    return QTest::qExec(&suite, argc, argv);
}

#include "test_guard.moc"

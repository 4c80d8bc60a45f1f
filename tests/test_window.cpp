// The main window and the entry dialogs in the sandbox, with boxes that really run: start-up, the check box, adding,
// editing and deleting through the buttons (on a read-only and on a full file system too, and with a damaged
// catalogue, which is never written), a title's markup shown as text, a screen lower than the window, the way out.
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTextDocument>
#include <QtTest>

#include <csignal>

#include "tests/support/support.h"

#include "app/messagebox.h"
#include "app/ownprocesses.h"
#include "app/process.h"
#include "app/safefile.h"
#include "app/syspaths.h"
#include "catalogue/formadd.h"
#include "catalogue/formedit.h"
#include "mainwindow/formmain.h"

using Entries = QVector<CatalogueEntry>;

namespace {

const QString Catalogue = QString::fromLatin1(Sys::CatalogueFile);

Entries entries(int n) // long descriptions: three entries take just over 8 KiB
{
    Entries list;
    for (int i = 0; i < n; ++i)
        list << CatalogueEntry::fromFields({QStringLiteral("Программа %1").arg(i),
                                            QStringLiteral("описание %1 ").arg(i) + QString(1400, 'x'), QStringLiteral("zv-%1").arg(i)});
    return list;
}

QLineEdit *field(QDialog *d, int i)
{
    const char *const names[] = {"lineEditTitle", "lineEditDescription", "lineEditInstallTitle",
                                 "lineEditPPA",   "lineEditGetAptKey",   "lineEditAptListEntry"};
    return d->findChild<QLineEdit *>(QString::fromLatin1(names[i]));
}

// Works the first visible window of type T from inside an event loop: the exec() loop of the window or of the dialog
// that opened it. Every action ends by closing a window, so the loops unwind even when a check fails.
template <class T> struct Watch {
    explicit Watch(std::function<void(T *)> act)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, act] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *t = qobject_cast<T *>(w); t && t->isVisible()) {
                    timer.stop();
                    seen = true;
                    return act(t);
                }
        });
        timer.start(5);
    }
    bool seen = false;
    QTimer timer;
};

// A text as its label shows it to the user: rich text rendered, plain text as it stands.
QString shown(const QString &text, Qt::TextFormat format)
{
    QTextDocument document;
    document.setHtml(text);
    const bool rich = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
    return rich ? document.toPlainText() : text;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

    Support::WorkDir dir;
    QStringList boxes;           // text and informative text of every box shown
    int answer = Qt::Key_Escape; // to the next box: a button clicked or a key pressed

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite touches system paths: run it sandboxed");
        MessageBoxes::setAnswerer([this](QMessageBox *box) {
            boxes << shown(box->text(), box->textFormat()) + '|' + shown(box->informativeText(), Qt::AutoText);
            QTimer::singleShot(0, box, [this, box] { // the box really runs
                if (QAbstractButton *b = box->button(QMessageBox::StandardButton(answer)))
                    return b->click();
                QTest::keyClick(box, answer >= Qt::Key_Escape ? Qt::Key(answer) : Qt::Key_Escape); // a box without it
            });
            return box->exec();
        });
    }

    void cleanup()
    {
        int open = 0; // every flow ends with no window open; what a failed case left is closed for the next one
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && ++open)
                w->close();
        boxes.clear();
        answer = Qt::Key_Escape;
        QDir::setCurrent(dir.path());
        QCOMPARE(open, 0);
    }

    // A field apt would read as its own syntax is refused at start-up, escaped in the box, and never marked; a
    // click on the check box unticks a marked row and hides its bar.
    void startUp()
    {
        QVERIFY(dir.writeCatalogue({Support::entry("A", "gdm3-"), Support::entry("B", "/tmp/<b>x.deb"), Support::entry("C", "zv-absent")}));
        FormMain w;
        QCOMPARE(boxes.size(), 2);
        QVERIFY2(boxes.at(1).contains("/tmp/<b>x.deb"), qPrintable(boxes.at(1))); // shown as written
        QVERIFY(w.isVisible() && !w.ButtonOK->isEnabled() && w.ButtonCheck->isEnabled());
        QCOMPARE(w.installLabel->text(), QStringLiteral("Выполнена проверка статуса всех программ из базы (dataSoftware.db)."));
        QVERIFY(w.rowState(0) == RowState::NotInstallable && w.rowState(1) == RowState::NotInstallable);
        QCOMPARE(w.rowState(2), RowState::Marked);
        QVERIFY(w.Table->cellWidget(2, ColBar)->isVisibleTo(w.Table));
        w.Table->item(2, ColSelect)->setCheckState(Qt::Unchecked); // the view toggles before it reports the click
        w.clickCheckBox(2, ColSelect);
        QCOMPARE(w.rowState(2), RowState::Unmarked);
        QVERIFY(!w.Table->cellWidget(2, ColBar)->isVisibleTo(w.Table));
        QVERIFY(SafeFile::remove(Catalogue));
        FormMain empty; // a missing file gives an empty table
        QCOMPARE(empty.Table->rowCount(), 0);
    }

    // "Добавить" and "Изменить" lead to a freshly loaded main window; "Закрыть" writes nothing; "Удалить" asks
    // first. A failed write keeps the dialog with its input, or the row, and the file as it was.
    void changeTheCatalogue_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("mount");    // over the catalogue's folder: none, read-only or a small tmpfs
        QTest::addColumn<QString>("expected"); // the entries afterwards: their indexes, + for the one typed
        QTest::newRow("add") << "add" << "" << "012+";
        QTest::newRow("edit the first of three") << "edit" << "" << "12+";
        QTest::newRow("edit, Закрыть") << "edit-close" << "" << "012";
        QTest::newRow("delete the first") << "delete" << "" << "12";
        QTest::newRow("add, read-only") << "add" << "ro" << "012";
        QTest::newRow("delete, read-only") << "delete" << "ro" << "012";
        QTest::newRow("edit, full disk: the copy fits, the rewrite does not") << "edit" << "tmpfs" << "012";
    }
    void changeTheCatalogue()
    {
        QFETCH(QString, action);
        QFETCH(QString, mount);
        QFETCH(QString, expected);
        const bool fails = !mount.isEmpty(), edit = action.startsWith("edit"), confirm = !action.endsWith("close");
        const QString store = dir.path() + "/store";
        const auto run = [&](QString a) { return runProgram("mount", a.arg(store).split(' ')).exitCode == 0; };
        QVERIFY(QDir().mkpath(store) && (mount != "tmpfs" || run("-t tmpfs -o size=16k,mode=0755 tmpfs %1")));
        const auto unmount = qScopeGuard([&] { QDir::setCurrent(dir.path()); runProgram("umount", {store}); });
        const Entries three = entries(3);
        QVERIFY(CatalogueCodec::saveFile(store + "/dataSoftware.db", three));
        // Root writes through permissions, not through a read-only mount.
        QVERIFY(mount != "ro" || (run("--bind %1 %1") && run("-o remount,bind,ro %1")));
        QVERIFY(QDir::setCurrent(store));
        QScopedPointer<FormMain> first(new FormMain());
        first->Table->setCurrentCell(0, ColTitle);
        const QStringList typed = {" новая", " и ещё", "zv", "ppa:owner/archive", "http://keys.test/k.asc",
                                   " deb http://repo.test/ stable main "};
        QString hint;
        QStringList left; // in the dialog when a failed write left it open
        int shown = -1;
        Watch<FormMain> next([&](FormMain *m) { shown = m->Table->rowCount(); m->close(); });
        const std::function<void(QDialog *)> act = [&](QDialog *d) {
            hint = d->findChild<QLabel *>("labelText")->text();
            for (int i = 0; i < typed.size(); ++i) // appended to what the edit dialog was filled with
                field(d, i)->setText(field(d, i)->text() + typed.at(i));
            d->findChild<QPushButton *>(!confirm ? "ButtonCancel" : edit ? "ButtonEdit" : "ButtonOK")->click();
            for (int i = 0; i < typed.size() && d->isVisible(); ++i)
                left << field(d, i)->text();
            d->close(); // the window's close control: out without a main window
        };
        Watch<FormAdd> add(act);
        Watch<FormEdit> change(act);
        answer = QMessageBox::Yes;
        (edit ? first->ButtonEdit : action == "delete" ? first->ButtonDelete : first->ButtonAdd)->click();
        QCOMPARE(change.seen, edit);
        QCOMPARE(add.seen, action.startsWith("add"));
        QStringList changed = (edit ? three.at(0) : CatalogueEntry()).fields();
        for (int i = 0; i < typed.size(); ++i)
            changed[i] += typed.at(i);
        Entries after;
        for (const QChar c : expected)
            after << (c == '+' ? CatalogueEntry::fromFields(changed) : three.at(c.digitValue()));
        QCOMPARE(Support::readAll(Catalogue), CatalogueCodec::encode(after));
        QCOMPARE(QDir(store).entryList(QDir::Files | QDir::Hidden), QStringList{"dataSoftware.db"});
        if (action == "delete") {
            QCOMPARE(first->Table->rowCount(), after.size());
            QCOMPARE(boxes.filter("Не удалось удалить программу из файла dataSoftware.db").size(), int(fails));
            first->close();
            return;
        }
        QTRY_COMPARE(next.seen, !fails); // run from the dialog, or after an edit only shown
        QVERIFY2(hint.contains("dataSoftware.db"), qPrintable(hint)); // the opening hint, not the last field's
        QCOMPARE(shown, fails ? -1 : after.size());
        QCOMPARE(left, fails ? changed : QStringList());
        QCOMPARE(boxes.filter(QStringLiteral("остались в окне")).size(), int(fails));
    }

    // "Нет" is the default of the delete box; the add dialog's button follows the title: a blank is one.
    void deleteDefaultsToNoAndAddNeedsATitle()
    {
        answer = Qt::Key_Return;
        QVERIFY(dir.writeCatalogue(entries(3)));
        FormMain w;
        w.Table->setCurrentCell(1, ColTitle);
        w.ButtonDelete->click();
        QCOMPARE(boxes, QStringList{"Вы действительно хотите удалить программу Программа 1 из списка?|"});
        QCOMPARE(Support::readAll(Catalogue), CatalogueCodec::encode(entries(3)));
        QCOMPARE(w.Table->rowCount(), 3);
        w.close();
        FormAdd add;
        auto *ok = add.findChild<QPushButton *>("ButtonOK");
        QTest::keyClicks(field(&add, 0), "a\b");
        QVERIFY(!ok->isEnabled());
        QTest::keyClicks(field(&add, 0), " ");
        QVERIFY(ok->isEnabled());
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
        answer = QMessageBox::No;
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

    // The way out removes the lock file and ends only the apt-get this program started.
    void wayOut_data()
    {
        QTest::addColumn<bool>("viaCloseEvent");
        QTest::newRow("the cancel button") << false;
        QTest::newRow("the window's close control") << true;
    }
    void wayOut()
    {
        QFETCH(bool, viaCloseEvent);
        const QString aptGet = dir.path() + "/apt-get";
        QVERIFY(SafeFile::write(aptGet, "#!/bin/sh\nsleep 30\n", SafeFile::Truncate));
        QVERIFY(QFile::setPermissions(aptGet, QFile::ReadOwner | QFile::ExeOwner));
        // A double fork hands the outside one to the namespace's init, out of this program's process tree.
        const QString pidFile = dir.path() + "/outside.pid";
        QFile::remove(pidFile);
        runProgram("sh", {"-c", "(\"$1\" >/dev/null 2>&1 & echo $! > \"$2\") &", "sh", aptGet, pidFile});
        QTRY_VERIFY(!Support::readAll(pidFile).trimmed().isEmpty() && Support::readAll(pidFile) != "<unreadable>");
        const pid_t outside = Support::readAll(pidFile).trimmed().toInt();
        QProcess own;
        own.start(aptGet, QStringList());
        QVERIFY(own.waitForStarted());
        QTRY_COMPARE(OwnProcesses::descendantsNamed("apt-get"), QList<pid_t>{pid_t(own.processId())});
        QVERIFY(SafeFile::write(QString::fromLatin1(Sys::LockFile), "1\n", SafeFile::Truncate));
        {
            FormMain w;
            viaCloseEvent ? void(w.close()) : w.ButtonCancel->click();
            QVERIFY(!w.isVisible());
        }
        QVERIFY(!SafeFile::exists(QString::fromLatin1(Sys::LockFile)));
        QVERIFY(own.waitForFinished(5000));
        QCOMPARE(own.exitStatus(), QProcess::CrashExit); // ended by SIGTERM
        QCOMPARE(::kill(outside, 0), 0);                   // still running
        ::kill(outside, SIGTERM);
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"

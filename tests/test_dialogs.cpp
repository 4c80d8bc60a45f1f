// The entry dialogs in the sandbox: the confirming button, and adding, editing and deleting from the main window.
#include <QtTest>

#include "app/messagebox.h"
#include "app/process.h"
#include "catalogue/cataloguecodec.h"
#include "catalogue/formadd.h"
#include "catalogue/formedit.h"
#include "mainwindow/formmain.h"

namespace {

const QString Catalogue = QString::fromLatin1(Sys::CatalogueFile);

QVector<CatalogueEntry> entries(int n)
{
    QVector<CatalogueEntry> list(n);
    for (int i = 0; i < n; ++i) // long descriptions: three entries take just over 8 KiB
        list[i] = {QStringLiteral("Программа %1").arg(i), QStringLiteral("описание %1 ").arg(i) + QString(1400, 'x'),
                   QStringLiteral("zv-absent-%1").arg(i), {}, {}, {}};
    return list;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QLineEdit *field(QDialog *d, int i)
{
    const char *const names[] = {"lineEditTitle", "lineEditDescription", "lineEditInstallTitle",
                                 "lineEditPPA",   "lineEditGetAptKey",   "lineEditAptListEntry"};
    return d->findChild<QLineEdit *>(QString::fromLatin1(names[i]));
}

// Works the first window of type T found visible from inside an event loop, which is the exec() loop of the window
// or of the dialog that opened it. Every action ends by closing a window, so the loops unwind even when a check fails.
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

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QStringList boxes;           // text and informative text of every box shown
    int answer = Qt::Key_Escape; // to the next box: a button clicked or a key pressed

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite touches system paths: run it sandboxed");
        QVERIFY(QDir::setCurrent(dir.path())); // every case writes the catalogue it starts from
        MessageBoxes::setAnswerer([this](QMessageBox *box) {
            boxes << (box->text() + QLatin1Char('\n') + box->informativeText()).trimmed();
            QTimer::singleShot(0, box, [this, box] { // the box really runs
                if (QAbstractButton *b = box->button(QMessageBox::StandardButton(answer)))
                    return b->click();
                QTest::keyClick(box, Qt::Key(answer));
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
        QCOMPARE(open, 0);
    }

    void confirmButtonFollowsTheTitle_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<QString>("keys"); // typed into the title, \b is Backspace
        QTest::addColumn<bool>("enabled");
        QTest::newRow("add: nothing typed") << false << "" << false;
        QTest::newRow("add: one letter") << false << "a" << true;
        QTest::newRow("add: a single space") << false << " " << true;
        QTest::newRow("add: typed and deleted") << false << "a\b" << false;
        QTest::newRow("edit: typed and deleted") << true << "a\b" << false;
    }

    void confirmButtonFollowsTheTitle()
    {
        QFETCH(bool, edit);
        QFETCH(QString, keys);
        QScopedPointer<QDialog> d(edit ? static_cast<QDialog *>(new FormEdit()) : new FormAdd());
        auto *confirm = d->findChild<QPushButton *>(edit ? "ButtonEdit" : "ButtonOK");
        QCOMPARE(confirm->text(), edit ? QStringLiteral("Изменить") : QStringLiteral("Добавить"));
        QTest::keyClicks(field(d.data(), 0), keys);
        QTEST(confirm->isEnabled(), "enabled");
    }

    // Both buttons lead to a freshly loaded main window. "Закрыть" writes nothing, "Добавить" appends the record typed,
    // "Изменить" appends it and drops the old entry; a failed write keeps the dialog, its input and the file as they were.
    void confirmOrClose_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("mount");    // over the catalogue's folder: none, read-only or a small tmpfs
        QTest::addColumn<QString>("expected"); // the entries afterwards: their indexes, + for the one typed
        QTest::newRow("add") << false << true << "" << "012+";
        QTest::newRow("add, Закрыть") << false << false << "" << "012";
        QTest::newRow("edit the first of three") << true << true << "" << "12+";
        QTest::newRow("edit, Закрыть") << true << false << "" << "012";
        QTest::newRow("add, read-only") << false << true << "ro" << "012";
        QTest::newRow("edit, read-only") << true << true << "ro" << "012";
        QTest::newRow("edit, full disk: the copy fits, the rewrite does not") << true << true << "tmpfs" << "012";
    }

    void confirmOrClose()
    {
        QFETCH(bool, edit);
        QFETCH(bool, confirm);
        QFETCH(QString, mount);
        QFETCH(QString, expected);
        const bool fails = !mount.isEmpty();
        const QString store = dir.filePath("store");
        const auto run = [&](QString a) { return runProgram("mount", a.arg(store).split(' ')).exitCode == 0; };
        QVERIFY(QDir().mkpath(store) && (mount != "tmpfs" || run("-t tmpfs -o size=16k,mode=0755 tmpfs %1")));
        const auto unmount = qScopeGuard([&] { QDir::setCurrent(dir.path()); runProgram("umount", {store}); });
        const QVector<CatalogueEntry> three = entries(3);
        QVERIFY(CatalogueCodec::saveFile(store + "/dataSoftware.db", three));
        // Root writes through permissions, not through a read-only mount.
        QVERIFY(mount != "ro" || (run("--bind %1 %1") && run("-o remount,bind,ro %1")));
        QVERIFY(QDir::setCurrent(store));
        // Just over 8 KiB: on the 16 KiB tmpfs a changed copy of one entry fits behind it, a copy of it all does not.
        QVERIFY(readAll(Catalogue).size() > 8 * 1024 && readAll(Catalogue).size() < 9 * 1024);
        QScopedPointer<FormMain> first(new FormMain());
        first->Table->setCurrentCell(0, 1);
        const QStringList typed = {QStringLiteral(" новая"), QStringLiteral(" и ещё"), "zv", "ppa:owner/archive",
                                   "http://keys.test/k.asc", " deb http://repo.test/ stable main "};
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
        (edit ? first->ButtonEdit : first->ButtonAdd)->click();
        QVERIFY(edit ? change.seen && !add.seen : add.seen && !change.seen);
        QTRY_COMPARE(next.seen, !fails); // run from the dialog, or after an edit only shown
        QVERIFY2(hint.contains("dataSoftware.db"), qPrintable(hint)); // the opening hint, not the last field's
        QStringList changed = (edit ? three.at(0) : CatalogueEntry()).fields();
        for (int i = 0; i < typed.size(); ++i)
            changed[i] += typed.at(i);
        QVector<CatalogueEntry> after;
        for (const QChar c : expected)
            after << (c == '+' ? CatalogueEntry::fromFields(changed) : three.at(c.digitValue()));
        QCOMPARE(readAll(Catalogue), CatalogueCodec::encode(after));
        QCOMPARE(shown, fails ? -1 : after.size());
        QCOMPARE(left, fails ? changed : QStringList());
        QCOMPARE(boxes.size(), int(fails));
        QCOMPARE(boxes.filter("dataSoftware.db").filter(QStringLiteral("остались в окне")).size(), int(fails));
        QCOMPARE(QDir(store).entryList(QDir::Files | QDir::Hidden), QStringList{"dataSoftware.db"});
    }

    void editAndDeleteButtons_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<int>("rows");     // the second is current when there are three
        QTest::addColumn<int>("reply");    // to the box: a button clicked or a key pressed
        QTest::addColumn<QString>("text"); // of the one box shown
        QTest::addColumn<bool>("removed");
        const auto none = QStringLiteral("В таблице нет записей"), select = QStringLiteral("Вы должны выделить строку");
        const QString confirm = QStringLiteral("Вы действительно хотите удалить программу Программа 1 из списка?");
        QTest::newRow("edit, empty table") << true << 0 << int(Qt::Key_Escape) << none << false;
        QTest::newRow("edit, no current row") << true << 2 << int(Qt::Key_Escape) << select << false;
        QTest::newRow("delete, empty table") << false << 0 << int(Qt::Key_Escape) << none << false;
        QTest::newRow("delete, no current row") << false << 2 << int(Qt::Key_Escape) << select << false;
        QTest::newRow("delete, Да") << false << 3 << int(QMessageBox::Yes) << confirm << true;
        QTest::newRow("delete, Нет") << false << 3 << int(QMessageBox::No) << confirm << false;
        QTest::newRow("delete, Escape") << false << 3 << int(Qt::Key_Escape) << confirm << false;
        QTest::newRow("delete, Enter: the default, Нет") << false << 3 << int(Qt::Key_Return) << confirm << false;
    }

    void editAndDeleteButtons()
    {
        QFETCH(bool, edit);
        QFETCH(int, rows);
        QFETCH(int, reply);
        answer = reply;
        QVERIFY(CatalogueCodec::saveFile(Catalogue, entries(rows)));
        QScopedPointer<FormMain> first(new FormMain());
        first->Table->setCurrentIndex(rows == 3 ? first->Table->model()->index(1, 1) : QModelIndex());
        Watch<FormEdit> change([](FormEdit *d) { d->close(); });
        (edit ? first->ButtonEdit : first->ButtonDelete)->click();
        QTEST(boxes.join(QLatin1Char('|')), "text");
        QVERIFY(!change.seen && first->isVisible());
        QFETCH(bool, removed);
        QVector<CatalogueEntry> left = entries(rows);
        if (removed)
            left.remove(1);
        QCOMPARE(readAll(Catalogue), CatalogueCodec::encode(left));
        QCOMPARE(first->Table->rowCount(), left.size());
        first->close();
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"

// The entry dialogs in the sandbox: the confirming button and the hint panel, adding, editing and deleting through
// the main window's buttons, leaving without saving, and a catalogue that cannot be written.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QPointer>
#include <QPushButton>
#include <QSpacerItem>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "app/messagebox.h"
#include "app/process.h"
#include "app/syspaths.h"
#include "catalogue/cataloguecodec.h"
#include "catalogue/formadd.h"
#include "catalogue/formedit.h"
#include "mainwindow/formmain.h"

Q_DECLARE_METATYPE(QVector<CatalogueEntry>)

namespace {

const QString Catalogue = QString::fromLatin1(Sys::CatalogueFile);

const QString OpeningHint = QStringLiteral(
    "Здесь <i>будут</i> появляться<br/> краткие пояснения при<br/> заполнении полей для<br/> ввода текста. "
    "Данные<br/> сохраняются в файле:<br/> <b><i><font color=#AA0000>dataSoftware.db</font></i></b>");

const QString AddTitle = QStringLiteral("                         ДОБАВЛЕНИЕ НОВОЙ  ПРОГРАММЫ  В  СПИСОК");
const QString EditTitle = QStringLiteral("                             РЕДАКТИРОВАНИЕ ВЫБРАННОЙ  ПРОГРАММЫ");

// The six input fields in record order.
const char *const FieldNames[CatalogueEntry::FieldCount] = {"lineEditTitle",       "lineEditDescription",
                                                            "lineEditInstallTitle", "lineEditPPA",
                                                            "lineEditGetAptKey",    "lineEditAptListEntry"};

CatalogueEntry entry(const QString &title, const QString &package, const QString &ppa = QString())
{
    const bool repo = !ppa.isEmpty();
    return CatalogueEntry::fromFields({title, QStringLiteral("описание ") + title, package, ppa,
                                       repo ? QStringLiteral("http://keys.test/k.asc") : QString(),
                                       repo ? QStringLiteral("deb http://repo.test/ stable main") : QString()});
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// One entry a line, fields between bars, so that a failed comparison shows both catalogues.
QString describe(const QVector<CatalogueEntry> &entries)
{
    QStringList lines;
    for (const CatalogueEntry &e : entries)
        lines << e.fields().join(QLatin1Char('|'));
    return lines.join(QLatin1Char('\n'));
}

QVector<CatalogueEntry> shownEntries(const QTableWidget *table)
{
    QVector<CatalogueEntry> entries;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList fields;
        for (int column : {1, 2, 5, 6, 7, 8})
            fields << (table->item(row, column) ? table->item(row, column)->text() : QStringLiteral("<no item>"));
        entries << CatalogueEntry::fromFields(fields);
    }
    return entries;
}

QLineEdit *field(QDialog *dialog, int index)
{
    return dialog->findChild<QLineEdit *>(QString::fromLatin1(FieldNames[index]));
}

QStringList fieldTexts(QDialog *dialog)
{
    QStringList texts;
    for (int i = 0; i < CatalogueEntry::FieldCount; ++i)
        texts << field(dialog, i)->text();
    return texts;
}

// Types text at the cursor as key presses carrying the characters (any script); '\b' is the Backspace key.
void type(QLineEdit *edit, const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('\b')) {
            QTest::keyClick(edit, Qt::Key_Backspace);
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
        QApplication::sendEvent(edit, &release);
    }
}

// Replaces the whole text of the field the way a user does: select all, then type over it.
void retype(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        type(edit, text);
}

int visibleWindows()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += w->isVisible() ? 1 : 0;
    return n;
}

template <class T> int visibleOf()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += qobject_cast<T *>(w) && w->isVisible() ? 1 : 0;
    return n;
}

// The flows run their dialogs and main windows with exec(). A watch works the first window of its kind that is
// shown after the watch was set up, from inside whatever event loop is running then. The actions only record what
// they see and always go on to close something, so the loops unwind even when a check is going to fail; if no
// window turns up in time, every open window is closed for the same reason.
template <class T> class Watch
{
public:
    explicit Watch(std::function<void(T *)> act, int limitMs = 60000) : act(std::move(act)), limitMs(limitMs)
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<T *>(w))
                before << w;
        clock.start();
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
        timer.start();
    }

    bool seen = false;
    bool timedOut = false;

private:
    std::function<void(T *)> act;
    int limitMs;
    QList<QPointer<QWidget>> before;
    QElapsedTimer clock;
    QTimer timer;

    void poll()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            T *window = qobject_cast<T *>(w);
            if (!window || !window->isVisible() || before.contains(QPointer<QWidget>(w)))
                continue;
            timer.stop();
            seen = true;
            act(window);
            return;
        }
        if (clock.elapsed() > limitMs) {
            timer.stop();
            timedOut = true;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->isVisible())
                    w->close();
        }
    }
};

struct Box {
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QString informative;
    QStringList buttons;   // the texts, in the order Yes, No, Close
    QString defaultButton; // its text, empty without one
    int spacerWidth = 0;   // of a spacer spanning the last row of the grid
};

Box describe(QMessageBox *box)
{
    Box b;
    b.title = box->windowTitle();
    b.icon = box->icon();
    b.text = box->text();
    b.informative = box->informativeText();
    for (QMessageBox::StandardButton which : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Close})
        if (box->button(which))
            b.buttons << box->button(which)->text();
    b.defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
    if (b.buttons.size() != box->buttons().size())
        b.buttons << QStringLiteral("<other buttons>");
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
        for (int i = 0; i < grid->count(); ++i) {
            int row, column, rows, columns;
            grid->getItemPosition(i, &row, &column, &rows, &columns);
            QSpacerItem *spacer = grid->itemAt(i)->spacerItem();
            if (spacer && row == grid->rowCount() - 1 && column == 0 && columns == grid->columnCount())
                b.spacerWidth = spacer->sizeHint().width();
        }
    }
    return b;
}

// Mounts a small file system over path for a test and takes it away again, with the working folder outside it.
struct Mount {
    QString path;
    QString back;
    bool ok = false;
    ~Mount()
    {
        QDir::setCurrent(back);
        if (ok)
            runProgram(QStringLiteral("umount"), {path});
    }
};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

    QTemporaryDir *dir = nullptr;
    QString oldDir;
    QList<Box> boxes;
    std::function<int(QMessageBox *)> answer; // how the next boxes are answered; Close when unset

    FormMain *openMainWindow(const QVector<CatalogueEntry> &entries)
    {
        if (!CatalogueCodec::saveFile(Catalogue, entries))
            return nullptr;
        return new FormMain();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"),
                 "this suite touches system paths: run it in the sandbox");
        MessageBoxes::setAnswerer([this](QMessageBox *box) {
            boxes << describe(box);
            return answer ? answer(box) : int(QMessageBox::Close);
        });
    }

    void init()
    {
        boxes.clear();
        answer = nullptr;
        dir = new QTemporaryDir();
        oldDir = QDir::currentPath();
        QDir::setCurrent(dir->path());
    }

    void cleanup()
    {
        // Every flow ends with no window open; whatever a failed test left open is closed for the next one.
        const int open = visibleWindows();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible())
                w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QDir::setCurrent(oldDir);
        delete dir;
        QCOMPARE(open, 0);
    }

    void confirmButtonFollowsTheTitle_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<QString>("start"); // set by the program, as when the edit dialog is filled
        QTest::addColumn<QString>("keys");  // typed afterwards; \b is Backspace
        QTest::addColumn<bool>("enabled");

        // "Добавить" needs a title; any character counts, a space too.
        QTest::newRow("add: nothing typed") << false << QString() << QString() << false;
        QTest::newRow("add: one letter") << false << QString() << QStringLiteral("a") << true;
        QTest::newRow("add: one Cyrillic letter") << false << QString() << QStringLiteral("ж") << true;
        QTest::newRow("add: a single space") << false << QString() << QStringLiteral(" ") << true;
        QTest::newRow("add: a letter typed and deleted") << false << QString() << QStringLiteral("a\b") << false;
        QTest::newRow("add: two letters, one deleted") << false << QString() << QStringLiteral("ab\b") << true;
        QTest::newRow("add: deleted and typed again") << false << QString() << QStringLiteral("a\bb") << true;

        // "Изменить" starts enabled and is disabled only by a title changed to empty.
        QTest::newRow("edit: nothing filled") << true << QString() << QString() << true;
        QTest::newRow("edit: filled, nothing typed") << true << QStringLiteral("Gnome Commander") << QString() << true;
        QTest::newRow("edit: filled title deleted") << true << QStringLiteral("ab") << QStringLiteral("\b\b") << false;
        QTest::newRow("edit: a space left of the title") << true << QStringLiteral(" a") << QStringLiteral("\b")
                                                         << true;
        QTest::newRow("edit: emptied and typed again") << true << QStringLiteral("ab") << QStringLiteral("\b\bc")
                                                       << true;
    }

    void confirmButtonFollowsTheTitle()
    {
        QFETCH(bool, edit);
        QFETCH(QString, start);
        QFETCH(QString, keys);
        QFETCH(bool, enabled);

        QScopedPointer<QDialog> dialog(edit ? static_cast<QDialog *>(new FormEdit()) : new FormAdd());
        QPushButton *confirm = dialog->findChild<QPushButton *>(edit ? "ButtonEdit" : "ButtonOK");
        QVERIFY(confirm);
        QCOMPARE(confirm->text(), edit ? QStringLiteral("Изменить") : QStringLiteral("Добавить"));
        QLineEdit *title = field(dialog.data(), 0);
        title->setText(start);
        type(title, keys);
        QCOMPARE(confirm->isEnabled(), enabled);
    }

    void hintFollowsTheField_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("pattern");

        const QString optionalRepo = QRegularExpression::escape(
            QStringLiteral("Заполнение этого поля<br/> обязательно только<br/> для ПО, не включенного<br/> в "
                           "стандартный<br/> репозиторий. Пример:<br/> <b><i><font color=#AA0000>"));
        const QString end = QRegularExpression::escape(QStringLiteral("</font></i></b>"));
        const QString patterns[CatalogueEntry::FieldCount] = {
            QRegularExpression::escape(QStringLiteral("Введите название ПО.<br/> Название может быть<br/> "
                                                      "произвольным. Пример:<br/> <b><i><font "
                                                      "color=#AA0000>Gnome Commander</font></i></b>")),
            QRegularExpression::escape(QStringLiteral("Введите описание<br/> ПО. Описание может<br/> быть "
                                                      "произвольным.<br/> Пример:<br/> <b><i><font "
                                                      "color=#AA0000>Файловый менеджер</font></i></b>")),
            QRegularExpression::escape(QStringLiteral("Введите установочное<br/> название ПО.<br/> Название должно "
                                                      "быть<br/> корректным, иначе<br/> установка ПО "
                                                      "выполнена<br/> не будет. Пример:<br/> <b><i><font "
                                                      "color=#AA0000>gnome-commander</font></i></b>")),
            // ppa:, an account, a slash and an archive name broken after a hyphen.
            optionalRepo + QStringLiteral("ppa:[\\w.-]+/[\\w.]+-<br/>[\\w.-]+") + end,
            // An http URL of a key file ending in .asc, over three lines.
            QRegularExpression::escape(QStringLiteral("Заполнение этого поля<br/> не обязательно.<br/> Укажите ключ "
                                                      "для<br/> устанавливаемого ПО. <br/>Пример: <b><i><font "
                                                      "color=#AA0000>")) +
                QStringLiteral("http://[^<\\s]+<br/>[^<\\s]+<br/>[^<\\s]+\\.asc") + end,
            // deb, a space, an http repository URL over two lines, then " stable main".
            optionalRepo + QStringLiteral("deb http://[^<\\s]+<br/>[^<\\s]+ stable main") + end,
        };
        for (bool edit : {false, true})
            for (int i = 0; i < CatalogueEntry::FieldCount; ++i)
                QTest::addRow("%s: %s", edit ? "edit" : "add", FieldNames[i]) << edit << i << patterns[i];
    }

    void hintFollowsTheField()
    {
        QFETCH(bool, edit);
        QFETCH(int, index);
        QFETCH(QString, pattern);

        QScopedPointer<QDialog> dialog(edit ? static_cast<QDialog *>(new FormEdit()) : new FormAdd());
        auto *label = dialog->findChild<QLabel *>(QStringLiteral("labelText"));
        QCOMPARE(label->text(), QString()); // empty until the opening slot sets the opening hint
        // Another field first, so the hint must change to the one typed in.
        type(field(dialog.data(), (index + 1) % CatalogueEntry::FieldCount), QStringLiteral("x"));
        type(field(dialog.data(), index), QStringLiteral("x"));
        const QRegularExpression re(QLatin1Char('^') + pattern + QLatin1Char('$'));
        QVERIFY(re.isValid());
        QVERIFY2(re.match(label->text()).hasMatch(), qPrintable(label->text()));
    }

    void addAppendsOneRecordAtTheEnd_data()
    {
        QTest::addColumn<QVector<CatalogueEntry>>("existing");
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<QStringList>("typed");

        const QVector<CatalogueEntry> two = {entry(QStringLiteral("Первая"), QStringLiteral("zv-absent-a")),
                                             entry(QStringLiteral("Вторая"), QStringLiteral("zv-absent-b"),
                                                   QStringLiteral("ppa:team/tools"))};
        QTest::newRow("after two entries, every field typed")
            << two << true
            << QStringList{QStringLiteral("Gnome Commander"), QStringLiteral("Файловый менеджер"),
                           QStringLiteral("gnome-commander"), QStringLiteral("ppa:owner/archive"),
                           QStringLiteral("http://keys.test/key.asc"),
                           QStringLiteral("deb http://repo.test/ stable main")};
        QTest::newRow("into a missing file, the title only")
            << QVector<CatalogueEntry>() << false
            << QStringList{QStringLiteral("Только название"), QString(), QString(), QString(), QString(), QString()};
        QTest::newRow("into an empty file, a title of one space")
            << QVector<CatalogueEntry>() << true
            << QStringList{QStringLiteral(" "), QString(), QString(), QString(), QString(), QString()};
        QTest::newRow("texts kept as typed: spaces at the ends")
            << two << true
            << QStringList{QStringLiteral("  Пробелы  "), QStringLiteral(" описание "), QStringLiteral(" zv-pkg "),
                           QString(), QString(), QStringLiteral("deb http://repo.test/ stable main ")};
        QTest::newRow("a copy of an existing entry") << two << true << two.at(1).fields();
    }

    void addAppendsOneRecordAtTheEnd()
    {
        QFETCH(QVector<CatalogueEntry>, existing);
        QFETCH(bool, fileExists);
        QFETCH(QStringList, typed);

        if (fileExists)
            QVERIFY(CatalogueCodec::saveFile(Catalogue, existing));
        const QByteArray before = fileExists ? readAll(Catalogue) : QByteArray();
        QScopedPointer<FormMain> first(new FormMain());

        QString windowTitle, hint;
        bool disabledAtStart = false;
        QPointer<FormAdd> dialog;
        Watch<FormAdd> add([&](FormAdd *d) {
            dialog = d;
            windowTitle = d->windowTitle();
            hint = d->labelText->text();
            disabledAtStart = !d->ButtonOK->isEnabled();
            for (int i = 0; i < CatalogueEntry::FieldCount; ++i)
                type(field(d, i), typed.at(i));
            d->ButtonOK->click();
        });
        QVector<CatalogueEntry> shown;
        bool dialogClosed = false;
        QStringList left;
        Watch<FormMain> next([&](FormMain *m) {
            shown = shownEntries(m->Table);
            dialogClosed = dialog && !dialog->isVisible();
            left = dialog ? fieldTexts(dialog) : QStringList();
            m->close();
        });
        first->ButtonAdd->click();

        QVERIFY(add.seen && !add.timedOut);
        QVERIFY(next.seen && !next.timedOut);
        QVERIFY(!first->isVisible()); // the window the user clicked in was closed
        QCOMPARE(windowTitle, AddTitle);
        QCOMPARE(hint, OpeningHint);
        QVERIFY(disabledAtStart);
        const CatalogueEntry added = CatalogueEntry::fromFields(typed);
        QCOMPARE(readAll(Catalogue), before + CatalogueCodec::encodeEntry(added));
        QVector<CatalogueEntry> expected = existing;
        expected << added;
        QCOMPARE(describe(shown), describe(expected));
        QVERIFY(dialogClosed);
        QCOMPARE(left, CatalogueEntry().fields()); // every field cleared
        QVERIFY(!dialog); // the dialog is gone once its loop has ended
    }

    void editMovesTheEntryToTheEnd_data()
    {
        QTest::addColumn<QVector<CatalogueEntry>>("existing");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("newTitle"); // empty: the title is left as it was
        QTest::addColumn<QString>("descriptionSuffix");

        const QVector<CatalogueEntry> three = {
            entry(QStringLiteral("Первая"), QStringLiteral("zv-absent-a"), QStringLiteral("ppa:one/first-archive")),
            entry(QStringLiteral("Вторая"), QStringLiteral("zv-absent-b")),
            entry(QStringLiteral("Третья"), QStringLiteral("zv-absent-c"), QStringLiteral("ppa:three/third"))};
        QTest::newRow("the first of three") << three << 0 << QStringLiteral("Изменённая") << QStringLiteral(" новое");
        QTest::newRow("the middle one") << three << 1 << QStringLiteral("Changed") << QString();
        QTest::newRow("the last one") << three << 2 << QString() << QStringLiteral(" и ещё");
        QTest::newRow("the first, nothing changed") << three << 0 << QString() << QString();
        QTest::newRow("the only entry") << QVector<CatalogueEntry>{three.at(1)} << 0 << QStringLiteral("Одна")
                                        << QString();
    }

    void editMovesTheEntryToTheEnd()
    {
        QFETCH(QVector<CatalogueEntry>, existing);
        QFETCH(int, row);
        QFETCH(QString, newTitle);
        QFETCH(QString, descriptionSuffix);

        QScopedPointer<FormMain> first(openMainWindow(existing));
        QVERIFY(first);
        first->Table->setCurrentCell(row, 1);

        QStringList filled;
        QString windowTitle, hint, rowText;
        bool rowHidden = false, enabled = false, closedAfter = false;
        QPointer<FormEdit> dialog;
        Watch<FormEdit> edit([&](FormEdit *d) {
            dialog = d;
            filled = fieldTexts(d);
            windowTitle = d->windowTitle();
            hint = d->labelText->text();
            rowText = d->lineCr->text();
            rowHidden = d->lineCr->isHidden();
            enabled = d->ButtonEdit->isEnabled();
            if (!newTitle.isEmpty())
                retype(d->lineEditTitle, newTitle);
            d->lineEditDescription->end(false);
            type(d->lineEditDescription, descriptionSuffix);
            d->ButtonEdit->click();
            closedAfter = !d->isVisible();
        });
        first->ButtonEdit->click();

        QVERIFY(edit.seen && !edit.timedOut);
        QCOMPARE(filled, existing.at(row).fields());
        QCOMPARE(rowText, QString::number(row));
        QVERIFY(rowHidden);
        QCOMPARE(hint, OpeningHint); // not the hint of the last field filled
        QVERIFY(enabled);
        QCOMPARE(windowTitle, EditTitle);
        QVERIFY(closedAfter);

        CatalogueEntry edited = existing.at(row);
        if (!newTitle.isEmpty())
            edited.title = newTitle;
        edited.description += descriptionSuffix;
        QVector<CatalogueEntry> expected = existing;
        expected.remove(row);
        expected << edited;
        QCOMPARE(readAll(Catalogue), CatalogueCodec::encode(expected));

        // The new main window is shown, not run modally, and holds the same rows as the file.
        QList<FormMain *> fresh;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *m = qobject_cast<FormMain *>(w); m && m != first.data() && m->isVisible())
                fresh << m;
        QCOMPARE(fresh.size(), 1);
        QCOMPARE(describe(shownEntries(fresh.at(0)->Table)), describe(expected));
        QVERIFY(!first->isVisible());
        QCOMPARE(boxes.size(), 0);
        fresh.at(0)->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void closeButtonLeavesTheFileUnchanged_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<QString>("typed"); // into the title field before "Закрыть"

        QTest::newRow("add, nothing typed") << false << QString();
        QTest::newRow("add, a title typed") << false << QStringLiteral("Не сохранять");
        QTest::newRow("edit, nothing changed") << true << QString();
        QTest::newRow("edit, the title changed") << true << QStringLiteral(" изменено");
    }

    void closeButtonLeavesTheFileUnchanged()
    {
        QFETCH(bool, edit);
        QFETCH(QString, typed);

        const QVector<CatalogueEntry> two = {entry(QStringLiteral("Первая"), QStringLiteral("zv-absent-a")),
                                             entry(QStringLiteral("Вторая"), QStringLiteral("zv-absent-b"))};
        QScopedPointer<FormMain> first(openMainWindow(two));
        QVERIFY(first);
        const QByteArray before = readAll(Catalogue);
        first->Table->setCurrentCell(1, 1);

        QPointer<QDialog> dialog;
        auto act = [&](QDialog *d) {
            dialog = d;
            type(field(d, 0), typed);
            d->findChild<QPushButton *>(QStringLiteral("ButtonCancel"))->click();
        };
        Watch<FormAdd> add(act);
        Watch<FormEdit> change(act);
        QVector<CatalogueEntry> shown;
        bool dialogClosed = false;
        Watch<FormMain> next([&](FormMain *m) {
            shown = shownEntries(m->Table);
            dialogClosed = dialog && !dialog->isVisible();
            // A file changed behind the window would show here; it is still the old one while the window runs.
            m->close();
        });
        (edit ? first->ButtonEdit : first->ButtonAdd)->click();

        QVERIFY((edit ? change.seen : add.seen) && !(edit ? add.seen : change.seen));
        QVERIFY(next.seen && !next.timedOut);
        QVERIFY(dialogClosed); // closed first, then the fresh window runs
        QCOMPARE(readAll(Catalogue), before);
        QCOMPARE(describe(shown), describe(two));
        QVERIFY(!dialog);
    }

    void closeControlEndsTheApplication_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("escape");

        QTest::newRow("add, the window's close control") << false << false;
        QTest::newRow("add, Escape") << false << true;
        QTest::newRow("edit, the window's close control") << true << false;
        QTest::newRow("edit, Escape") << true << true;
    }

    void closeControlEndsTheApplication()
    {
        QFETCH(bool, edit);
        QFETCH(bool, escape);

        QScopedPointer<FormMain> first(openMainWindow({entry(QStringLiteral("Одна"), QStringLiteral("zv-absent-a"))}));
        QVERIFY(first);
        const QByteArray before = readAll(Catalogue);
        first->Table->setCurrentCell(0, 1);

        auto act = [&](QDialog *d) {
            type(field(d, 0), QStringLiteral("не сохранять"));
            if (escape)
                QTest::keyClick(d, Qt::Key_Escape);
            else
                d->close();
        };
        Watch<FormAdd> add(act);
        Watch<FormEdit> change(act);
        Watch<FormMain> next([](FormMain *m) { m->close(); });
        (edit ? first->ButtonEdit : first->ButtonAdd)->click();
        QTest::qWait(50); // a main window started late would show up meanwhile

        QVERIFY(edit ? change.seen : add.seen);
        QVERIFY(!next.seen);
        QCOMPARE(visibleWindows(), 0); // nothing is left open: the application ends
        QCOMPARE(readAll(Catalogue), before);
    }

    void editOrDeleteWithoutCurrentRow_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("text");

        const QString none = QStringLiteral("В таблице нет записей");
        const QString select = QStringLiteral("Вы должны выделить строку");
        QTest::newRow("edit, empty table") << true << 0 << none;
        QTest::newRow("edit, rows but none current") << true << 2 << select;
        QTest::newRow("delete, empty table") << false << 0 << none;
        QTest::newRow("delete, rows but none current") << false << 2 << select;
    }

    void editOrDeleteWithoutCurrentRow()
    {
        QFETCH(bool, edit);
        QFETCH(int, rows);
        QFETCH(QString, text);

        QVector<CatalogueEntry> entries;
        for (int i = 0; i < rows; ++i)
            entries << entry(QStringLiteral("Программа %1").arg(i), QStringLiteral("zv-absent-%1").arg(i));
        QScopedPointer<FormMain> first(openMainWindow(entries));
        QVERIFY(first);
        const QByteArray before = readAll(Catalogue);
        first->Table->setCurrentIndex(QModelIndex());
        QCOMPARE(first->Table->currentRow(), -1);
        answer = [](QMessageBox *) { return int(QMessageBox::Yes); }; // a confirmation must not even be asked
        Watch<FormEdit> change([](FormEdit *d) { d->close(); });

        (edit ? first->ButtonEdit : first->ButtonDelete)->click();
        QTest::qWait(20);

        QCOMPARE(boxes.size(), 1);
        const Box box = boxes.at(0);
        QCOMPARE(box.title, QStringLiteral("УСТАНОВКА ДОПОЛНИТЕЛЬНОГО ПО В UBUNTU"));
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.text, text);
        QCOMPARE(box.buttons, QStringList{QStringLiteral("Закрыть")});
        QCOMPARE(box.spacerWidth, 400);
        QVERIFY(!change.seen);
        QCOMPARE(visibleOf<FormEdit>(), 0);
        QVERIFY(first->isVisible()); // the main window stays as it is
        QCOMPARE(first->Table->rowCount(), rows);
        QCOMPARE(readAll(Catalogue), before);
        first->close();
    }

    void deleteAfterConfirmation_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("removed");

        QTest::newRow("Да") << QStringLiteral("yes") << true;
        QTest::newRow("Нет") << QStringLiteral("no") << false;
        QTest::newRow("Escape") << QStringLiteral("escape") << false;
        QTest::newRow("Enter takes the default, Нет") << QStringLiteral("enter") << false;
        QTest::newRow("the box's close control") << QStringLiteral("close") << false;
    }

    void deleteAfterConfirmation()
    {
        QFETCH(QString, reply);
        QFETCH(bool, removed);

        const QVector<CatalogueEntry> three = {entry(QStringLiteral("Первая"), QStringLiteral("zv-absent-a")),
                                               entry(QStringLiteral("Gnome Commander"), QStringLiteral("zv-absent-b")),
                                               entry(QStringLiteral("Третья"), QStringLiteral("zv-absent-c"))};
        QScopedPointer<FormMain> first(openMainWindow(three));
        QVERIFY(first);
        const QByteArray before = readAll(Catalogue);
        // The last row is unticked by the user, so the rows differ in their presentation.
        first->Table->item(2, 0)->setCheckState(Qt::Unchecked);
        first->clickCheckBox(2, 0);
        QCOMPARE(first->Table->item(2, 4)->text(), QStringLiteral("ПО не будет установлено"));
        const QStringList statusBefore = {first->Table->item(0, 4)->text(), first->Table->item(2, 4)->text()};
        first->Table->setCurrentCell(1, 1);

        // The box really runs, and is answered the way a user would.
        answer = [reply](QMessageBox *box) {
            QTimer::singleShot(0, box, [box, reply] {
                if (reply == QLatin1String("yes"))
                    box->button(QMessageBox::Yes)->click();
                else if (reply == QLatin1String("no"))
                    box->button(QMessageBox::No)->click();
                else if (reply == QLatin1String("escape"))
                    QTest::keyClick(box, Qt::Key_Escape);
                else if (reply == QLatin1String("enter"))
                    QTest::keyClick(box, Qt::Key_Return);
                else
                    box->close();
            });
            return box->exec();
        };
        first->ButtonDelete->click();

        QCOMPARE(boxes.size(), 1);
        const Box box = boxes.at(0);
        QCOMPARE(box.title, QStringLiteral("УСТАНОВКА ДОПОЛНИТЕЛЬНОГО ПО В UBUNTU"));
        QCOMPARE(box.icon, QMessageBox::Question);
        QCOMPARE(box.text, QStringLiteral("Вы действительно хотите удалить программу Gnome Commander из списка?"));
        QCOMPARE(box.buttons, (QStringList{QStringLiteral("Да"), QStringLiteral("Нет")}));
        QCOMPARE(box.defaultButton, QStringLiteral("Нет"));

        QVERIFY(first->isVisible());
        QVector<CatalogueEntry> expected = three;
        if (removed) {
            expected.remove(1);
            QCOMPARE(readAll(Catalogue), CatalogueCodec::encode(expected));
        } else {
            QCOMPARE(readAll(Catalogue), before);
        }
        QCOMPARE(describe(shownEntries(first->Table)), describe(expected));
        const int last = first->Table->rowCount() - 1;
        QCOMPARE((QStringList{first->Table->item(0, 4)->text(), first->Table->item(last, 4)->text()}), statusBefore);
        first->close();
    }

    void failedWriteLosesNothing_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("readOnly"); // else a nearly full file system
        QTest::addColumn<bool>("bigRecord"); // too big for the space left

        QTest::newRow("add, read-only folder") << false << true << false;
        QTest::newRow("add, full disk: the record does not fit") << false << false << true;
        QTest::newRow("edit, read-only folder") << true << true << false;
        QTest::newRow("edit, full disk: the copy does not fit") << true << false << true;
        QTest::newRow("edit, full disk: the copy fits, the rewrite does not") << true << false << false;
    }

    void failedWriteLosesNothing()
    {
        QFETCH(bool, edit);
        QFETCH(bool, readOnly);
        QFETCH(bool, bigRecord);

        // A catalogue of a little over 8 KiB: on the 16 KiB file system a small record still fits behind it, a
        // second copy of the whole file does not.
        QVector<CatalogueEntry> entries;
        for (int i = 0; i < 90; ++i)
            entries << entry(QStringLiteral("программа %1").arg(i), QStringLiteral("zv-p%1").arg(i));
        const QString store = dir->filePath(QStringLiteral("store"));
        QVERIFY(QDir().mkpath(store));
        Mount mount{store, dir->path()};
        if (readOnly) {
            QVERIFY(CatalogueCodec::saveFile(store + QStringLiteral("/dataSoftware.db"), entries));
            // Root writes through permissions, not through a read-only mount.
            QCOMPARE(runProgram(QStringLiteral("mount"), {QStringLiteral("--bind"), store, store}).exitCode, 0);
            mount.ok = true;
            QCOMPARE(runProgram(QStringLiteral("mount"),
                                {QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), store})
                         .exitCode,
                     0);
        } else {
            QCOMPARE(runProgram(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                          QStringLiteral("-o"), QStringLiteral("size=16k"),
                                                          QStringLiteral("tmpfs"), store})
                         .exitCode,
                     0);
            mount.ok = true;
            QVERIFY(CatalogueCodec::saveFile(store + QStringLiteral("/dataSoftware.db"), entries));
        }
        QDir::setCurrent(store);
        const QByteArray before = readAll(Catalogue);
        QVERIFY(before.size() > 8 * 1024 && before.size() < 12 * 1024 - 256);

        QScopedPointer<FormMain> first(new FormMain());
        first->Table->setCurrentCell(0, 1);
        QStringList typed, left;
        bool stillOpen = false;
        int mainWindows = -1;
        auto act = [&](QDialog *d) {
            type(field(d, 0), QStringLiteral(" правка"));
            if (bigRecord)
                field(d, 1)->setText(QString(8000, QLatin1Char('x')));
            typed = fieldTexts(d);
            d->findChild<QPushButton *>(edit ? "ButtonEdit" : "ButtonOK")->click();
            stillOpen = d->isVisible();
            left = fieldTexts(d);
            mainWindows = visibleOf<FormMain>();
            d->close(); // the window's close control: out without a main window
        };
        Watch<FormAdd> add(act);
        Watch<FormEdit> change(act);
        Watch<FormMain> next([](FormMain *m) { m->close(); });
        (edit ? first->ButtonEdit : first->ButtonAdd)->click();
        first.reset();

        QVERIFY(edit ? change.seen : add.seen);
        QVERIFY(!next.seen);
        QVERIFY(stillOpen);
        QCOMPARE(left, typed);
        QCOMPARE(mainWindows, 0);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).icon, QMessageBox::Warning);
        QVERIFY2(boxes.at(0).text.contains(QStringLiteral("dataSoftware.db")), qPrintable(boxes.at(0).text));
        QVERIFY2(boxes.at(0).informative.contains(QStringLiteral("остались в окне")),
                 qPrintable(boxes.at(0).informative));
        QCOMPARE(boxes.at(0).buttons, QStringList{QStringLiteral("Закрыть")});
        QCOMPARE(readAll(Catalogue), before);
        QCOMPARE(QDir(store).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("dataSoftware.db")});
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"

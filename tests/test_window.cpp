// The start window and the main window in the sandbox, with boxes that really run.
#include <fcntl.h>
#include <unistd.h>

#include "tests/support/support.h"

#include "app/formstart.h"
#include "app/messagebox.h"
#include "app/timing.h"
#include "catalogue/formadd.h"
#include "catalogue/formedit.h"
#include "mainwindow/formmain.h"

using Support::logMessages;

namespace {

const QString Catalogue = QString::fromLatin1(Sys::CatalogueFile);
const QString LockFile = Sys::LockFile, LogFile = Sys::LogFile, SourcesList = Sys::SourcesList;
const QString DpkgLock = Sys::DpkgLock, AptLock = Sys::AptListsLock, InstanceLock = Sys::InstanceLockFile;
const QString Installed = "ПО уже установлено", Marked = "ПО отмечено для установки";
// sources.list before the partner step: one partner entry as shipped (which apt cannot fetch here, so it stays
// commented) among lines the step never touches.
const QByteArray Partner = "# deb http://archive.canonical.com/ubuntu jammy partner\n";
const QByteArray Sources = "deb http://a/ x main\n# deb [trusted=yes] http://archive.canonical.com/ubuntu jammy partner\n" + Partner;

// This test's binary under the program's name, for pidof; it holds an fcntl lock on a file, as dpkg and apt do.
struct Namesake : QProcess {
    explicit Namesake(const QString &lock)
    {
        QFile::copy(QCoreApplication::applicationFilePath(), "/tmp/zaviron");
        start("/tmp/zaviron", {"--hold", lock});
        QVERIFY(waitForReadyRead(10000) && readAllStandardOutput() == "ready\n");
    }
    ~Namesake() override { kill(), waitForFinished(); }
};

// One step of a start window whose own chain is armed far ahead: the lines the step logs.
QStringList runStep(void (FormStart::*step)())
{
    Timing::setScale(1000);
    FormStart start;
    SafeFile::remove(LogFile);
    (start.*step)();
    return logMessages();
}

// The whole chain in the application's loop: the log and the status column when the main window opens.
QStringList runChain()
{
    QStringList seen;
    Timing::setScale(0.01);
    FormStart start;
    start.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *main = qobject_cast<FormMain *>(QApplication::activeModalWidget());
        if (!main || main->property("zv-seen").toBool())
            return;
        main->setProperty("zv-seen", true);
        seen += logMessages();
        for (int row = 0; row < main->Table->rowCount(); ++row)
            seen << (main->Table->item(row, 4) ? main->Table->item(row, 4)->text() : QString());
        const bool startHidden = !start.isVisible();
        QTest::qWait(300); // the quit asked for when the start window closed must not end the main window
        if (!startHidden || !main->isVisible())
            seen << "<not handed over>";
        main->close();
    });
    poll.start(5);
    QTimer::singleShot(30000, &start, [] { QApplication::closeAllWindows(); }); // should the run hang
    QApplication::exec();
    return seen;
}


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
    return d->findChild<QLineEdit *>(QStringList{"lineEditTitle", "lineEditDescription", "lineEditInstallTitle", "lineEditPPA",
                                                 "lineEditGetAptKey", "lineEditAptListEntry"}.at(i));
}

// Works the first visible window of type T but skip from inside its event loop; each action closes a window.
template <class T> struct Watch {
    explicit Watch(std::function<void(T *)> act, QWidget *skip = nullptr)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, act, skip] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *t = qobject_cast<T *>(w); t && t != skip && t->isVisible()) {
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

class TestWindow : public QObject
{
    Q_OBJECT

    Support::WorkDir dir;
    Support::Boxes boxes;

private slots:
    void initTestCase() { QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite touches system paths: run it sandboxed"); }

    void init()
    {
        QVERIFY(SafeFile::remove(LogFile) && SafeFile::remove(LockFile));
        QVERIFY(SafeFile::write(SourcesList, Sources, SafeFile::Truncate));
        QVERIFY(SafeFile::write(DpkgLock, "", SafeFile::Truncate) && SafeFile::write(AptLock, "", SafeFile::Truncate));
    }

    void cleanup()
    {
        int open = 0; // every flow ends with no window open; what a failed case left is closed for the next one
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && ++open)
                w->close();
        boxes.shown.clear();
        QDir::setCurrent(dir.path());
        QCOMPARE(open, 0);
    }

    // A field apt would read as syntax is named in one box and never marked; a click unticks a marked row; the data
    // columns are hidden; the cancel button removes the lock file (the close control does too: see the start chain).
    void startUp()
    {
        QVERIFY(dir.writeCatalogue({Support::entry("A", "gdm3-"), Support::entry("B", "/tmp/<b>x.deb"), Support::entry("C", "zv-absent")}));
        FormMain w;
        QCOMPARE(boxes.shown.size(), 1); // one box names them all, as written
        QVERIFY2(boxes.shown.at(0).contains("программ: gdm3-, /tmp/<b>x.deb. Это"), qPrintable(boxes.shown.at(0)));
        QVERIFY(w.isVisible() && !w.ButtonOK->isEnabled() && w.ButtonCheck->isEnabled());
        for (int column = ColSelect; column < ColumnCount; ++column) // package, PPA, key, sources line
            QCOMPARE(w.Table->isColumnHidden(column), column >= ColPackage);
        QCOMPARE(w.installLabel->text(), QStringLiteral("Выполнена проверка статуса всех программ из базы (dataSoftware.db)."));
        QVERIFY(w.rowState(0) == RowState::NotInstallable && w.rowState(1) == RowState::NotInstallable);
        QCOMPARE(w.rowState(2), RowState::Marked);
        w.Table->item(2, ColSelect)->setCheckState(Qt::Unchecked); // the view toggles before it reports the click
        w.clickCheckBox(2, ColSelect);
        QCOMPARE(w.rowState(2), RowState::Unmarked);
        // dpkg cannot be asked (its database damaged): one box says why, and no row passes for one to install.
        QVERIFY(QFile::rename("/var/lib/dpkg/status", "/var/lib/dpkg/zv") && QDir().mkdir("/var/lib/dpkg/status"));
        boxes.shown.clear();
        QCOMPARE(FormMain().rowState(2), RowState::NotInstallable);
        QVERIFY(QDir().rmdir("/var/lib/dpkg/status") && QFile::rename("/var/lib/dpkg/zv", "/var/lib/dpkg/status"));
        QVERIFY2(boxes.shown.value(0).startsWith("Не удалось узнать, какие программы уже установлены (dpkg-query: "), qPrintable(boxes.shown.value(0)));
        Entries many(150000, Support::entry("Z", "zv-absent")); // too many names for one command line
        QVERIFY(dir.writeCatalogue(many << Support::entry("Bash", "bash")));
        QCOMPARE(FormMain().rowState(150000), RowState::Installed);
        QVERIFY(SafeFile::remove(Catalogue) && SafeFile::write(LockFile, "1\n", SafeFile::Truncate));
        FormMain empty; // a missing file gives an empty table
        QCOMPARE(empty.Table->rowCount(), 0);
        empty.ButtonCancel->click();
        QCOMPARE(empty.isVisible() || SafeFile::exists(LockFile), false);
    }

    // Every change through the buttons; a read-only or full file system or a damaged catalogue leaves the file's
    // bytes and the dialog open with its input, and the boxes say why.
    void changeTheCatalogue_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("trouble");     // ro, tmpfs (a full disk), damaged, damaged later (behind the dialog)
        QTest::addColumn<QString>("expected");    // the entries afterwards: their indexes, + for the one typed
        QTest::addColumn<QStringList>("boxes"); // a part of each box's text, in order
        const QString ask = "Вы действительно хотите удалить программу Программа 0<b>x</b><img src=\"/dev/zero\">&amp; из списка?|";
        const QStringList kept{"остались в окне"}, damaged{"повреждён после записи 3. Ничего не записано.|Список программ не изменён."};
        QTest::newRow("add") << "add" << "" << "012+" << QStringList();
        QTest::newRow("edit the first of three") << "edit" << "" << "12+" << QStringList();
        QTest::newRow("edit, Закрыть") << "edit-close" << "" << "012" << QStringList();
        QTest::newRow("delete the first") << "delete" << "" << "12" << QStringList{ask};
        QTest::newRow("delete, Return") << "delete-return" << "" << "012" << QStringList{ask};
        QTest::newRow("add, read-only") << "add" << "ro" << "" << kept;
        QTest::newRow("delete, read-only") << "delete" << "ro" << "" << QStringList{ask, "Не удалось удалить программу из файла"};
        QTest::newRow("edit, full disk: the copy fits, the rewrite does not") << "edit" << "tmpfs" << "" << kept;
        for (const char *action : {"add", "edit", "delete"})
            QTest::addRow("%s, damaged", action) << action << "damaged" << "" << damaged;
        QTest::newRow("add, damaged behind the dialog") << "add" << "damaged later" << "" << QStringList{"Запись не сохранена."};
    }
    void changeTheCatalogue()
    {
        QFETCH(QString, action);
        QFETCH(QString, trouble);
        QFETCH(QString, expected);
        const bool edit = action.startsWith("edit"), opens = !action.startsWith("delete") && trouble != "damaged";
        const QString store = dir.path() + "/store";
        const auto run = [&](QString a) { return runProgram("mount", a.arg(store).split(' ')).exitCode == 0; };
        QVERIFY(QDir().mkpath(store) && (trouble != "tmpfs" || run("-t tmpfs -o size=16k,mode=0755 tmpfs %1")));
        const auto unmount = qScopeGuard([&] { QDir::setCurrent(dir.path()); runProgram("umount", {store}); });
        Entries three = entries(3);
        three[0].title += "<b>x</b><img src=\"/dev/zero\">&amp;";
        const QByteArray spoilt = CatalogueCodec::encode(three) + QByteArray("\0\0\0\7xxxxxxx", 11);
        QVERIFY(Support::writeFile(store + "/dataSoftware.db", trouble == "damaged" ? spoilt : CatalogueCodec::encode(three)));
        // Root writes through permissions, not through a read-only mount.
        QVERIFY(trouble != "ro" || (run("--bind %1 %1") && run("-o remount,bind,ro %1")));
        QVERIFY(QDir::setCurrent(store));
        QScopedPointer<FormMain> first(new FormMain());
        first->Table->setCurrentCell(0, ColTitle);
        const int rows = first->Table->rowCount();
        boxes.shown.clear(); // a damaged catalogue's last entry has no package name: the window has said so
        const QStringList typed = {" ", " и ещё", "zv", "ppa:owner/archive", "http://keys.test/k.asc",
                                   " deb http://repo.test/ stable main "};
        QString hint;
        QStringList left; // in the dialog when a failed write left it open
        int shown = -1;
        bool untitledRefused = false; // the add dialog's button waits for a title; a blank is one
        Watch<FormMain> next([&](FormMain *m) { shown = m->Table->rowCount(); m->close(); }, first.data());
        const std::function<void(QDialog *)> act = [&](QDialog *d) {
            hint = d->findChild<QLabel *>("labelText")->text();
            if (auto *ok = qobject_cast<FormAdd *>(d) ? d->findChild<QPushButton *>("ButtonOK") : nullptr) {
                field(d, 0)->setText("x");
                field(d, 0)->clear();
                untitledRefused = !ok->isEnabled();
            }
            for (int i = 0; i < typed.size(); ++i) // appended to what the edit dialog was filled with
                field(d, i)->setText(field(d, i)->text() + typed.at(i));
            if (trouble == "damaged later")
                QVERIFY(Support::writeFile(Catalogue, spoilt));
            d->findChild<QPushButton *>(action == "edit-close" ? "ButtonCancel" : edit ? "ButtonEdit" : "ButtonOK")->click();
            for (int i = 0; i < typed.size() && d->isVisible(); ++i)
                left << field(d, i)->text();
            d->close(); // the window's close control: out without a main window
        };
        Watch<FormAdd> add(act);
        Watch<FormEdit> change(act);
        boxes.answer = action == "delete-return" ? int(Qt::Key_Return) : int(QMessageBox::Yes);
        const QByteArray before = trouble == "damaged later" ? spoilt : Support::readAll(Catalogue);
        (edit ? first->ButtonEdit : action.startsWith("delete") ? first->ButtonDelete : first->ButtonAdd)->click();
        QCOMPARE(change.seen, edit && opens);
        QCOMPARE(add.seen, action == "add" && opens);
        QCOMPARE(untitledRefused, add.seen);
        QStringList changed = (edit ? three.at(0) : CatalogueEntry()).fields();
        for (int i = 0; i < typed.size(); ++i)
            changed[i] += typed.at(i);
        Entries after;
        for (const QChar c : expected)
            after << (c == '+' ? CatalogueEntry::fromFields(changed) : three.at(c.digitValue()));
        QCOMPARE(Support::readAll(Catalogue), expected.isEmpty() ? before : CatalogueCodec::encode(after));
        QCOMPARE(QDir(store).entryList(QDir::Files | QDir::Hidden), QStringList{"dataSoftware.db"});
        QTRY_COMPARE(next.seen, opens && trouble.isEmpty()); // run from the dialog, or after an edit only shown
        QCOMPARE(shown, next.seen ? after.size() : -1);
        QVERIFY2(!opens || hint.contains("dataSoftware.db"), qPrintable(hint)); // the opening hint, not the last field's
        QCOMPARE(left, opens && !trouble.isEmpty() ? changed : QStringList());
        QCOMPARE(first->Table->rowCount(), rows - int(action == "delete" && trouble.isEmpty()));
        QFETCH(QStringList, boxes);
        QCOMPARE(this->boxes.shown.size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i)
            QVERIFY2(this->boxes.shown.at(i).contains(boxes.at(i)), qPrintable(this->boxes.shown.at(i)));
        if (first->isVisible())
            first->close();
    }

    // The rows run in order, each adding a link state to the one before: online hands over, offline stops.
    void startChain_data()
    {
        QTest::addColumn<QString>("commands"); // for ip, ';' between them
        QTest::addColumn<bool>("online");
        QTest::newRow("no link") << "" << false;
        QTest::newRow("the loopback up") << "link set lo up" << false;
        QTest::newRow("a link with its link-local address alone")
            << "link add zv0 type veth peer name zv1;link set zv0 up;link set zv1 up" << false;
        QTest::newRow("an address on it") << "addr add 192.0.2.1/24 dev zv0" << true;
    }
    void startChain()
    {
        QFETCH(QString, commands);
        QFETCH(bool, online);
        for (const QString &command : commands.split(';', Qt::SkipEmptyParts))
            QCOMPARE(runProgram("ip", command.split(' ')).exitCode, 0);
        CatalogueAccess::write(Sys::CatalogueFile, {CatalogueEntry::fromFields({"Bash", "оболочка", "bash"}),
                                                      CatalogueEntry::fromFields({"Нет", "тест", "zv-missing"})});
        const QStringList seen = runChain();
        if (!online) {
            QCOMPARE(seen, QStringList());
            QCOMPARE(boxes.shown.size(), 1);
            QCOMPARE(boxes.shown.at(0).section('|', 0, 0), QStringLiteral("  Отсутствует подключение к Интернету. Запуск программы будет прерван."));
            QCOMPARE(logMessages(), QStringList{"Запуск программы"});
            QVERIFY(SafeFile::exists(DpkgLock) && SafeFile::exists(AptLock) && !SafeFile::exists(LockFile));
            QCOMPARE(Support::readAll(SourcesList), Sources);
            return;
        }
        QVERIFY2(seen.value(4).startsWith("Партнер-репозиторий не подключен: ") && seen.value(4).contains("http://archive.canonical.com/"),
                 qPrintable(seen.value(4)));
        QCOMPARE(seen.mid(0, 4) + seen.mid(5), (QStringList{"Запуск программы", "Подключение к Интернету - есть",
                                    "Блокировка " + DpkgLock + " свободна", "Блокировка " + AptLock + " свободна",
                                    "Создан lock-файл", "Проверки завершены", Installed, Marked}));
        QCOMPARE(boxes.shown, QStringList());
        QCOMPARE(Support::readAll(SourcesList), Sources);
        QVERIFY(SafeFile::exists(DpkgLock) && SafeFile::exists(AptLock) && !SafeFile::exists(LockFile));
    }
    // The partner step leaves a linked sources.list a link and logs why; lines that are no shipped entry stay, unlogged.
    void partnerStep()
    {
        QVERIFY(Support::writeFile("/etc/zv-sources", Partner) && SafeFile::remove(SourcesList) && QFile::link("/etc/zv-sources", SourcesList));
        QCOMPARE(runStep(&FormStart::addPartnerRepo), QStringList{"Партнер-репозиторий не подключен: " + SourcesList +
                                                                  " является символической ссылкой: файл, на который она указывает, не изменяется"});
        QVERIFY(QFileInfo(SourcesList).isSymLink() && Support::readAll("/etc/zv-sources") == Partner);
        QVERIFY(SafeFile::remove(SourcesList) && SafeFile::write(SourcesList, Sources.left(Sources.size() - Partner.size()), SafeFile::Truncate));
        QCOMPARE(runStep(&FormStart::addPartnerRepo), QStringList());
    }

    // Only the flock keeps a second start out; a file at the lock's name in /tmp is stale. Package locks are only read.
    void instanceLock_data()
    {
        QTest::addColumn<bool>("link"); // at the lock file's name: a link to a file of root's, or a file of nobody's
        QTest::addColumn<QString>("box"); // what a second start then shows; none: only this process starts
        QTest::newRow("file put there by nobody") << false << "";
        QTest::newRow("link to a file of root") << true << "";
        QTest::newRow("lock held by this instance") << false << "  Уже запущен один экземпляр программы. Закройте "
                                                                "запущенную программу и запустите программу снова.";
        QTest::newRow("a folder at the flock's name") << false // the last row: this process's flock is on a removed file
            << "  Не удалось проверить, не запущена ли программа уже: блокировка не получена (" + InstanceLock +
                   ": Is a directory). Запуск программы прерван.";
    }
    void instanceLock()
    {
        QFETCH(bool, link);
        QFETCH(QString, box);
        QVERIFY(Support::writeFile("/etc/zv-root", "keep me\n"));
        QVERIFY(link ? QFile::link("/etc/zv-root", LockFile) : QFile::copy("/etc/zv-root", LockFile) && ::chown(Sys::LockFile, 65534, 65534) == 0);
        Namesake named(DpkgLock);
        QCOMPARE(runStep(&FormStart::checkFileName),
                 QStringList{"Устаревший lock-файл " + LockFile + " заменён: запущенной программы нет"});
        QVERIFY(SafeFile::remove(AptLock));
        QCOMPARE(runStep(&FormStart::deleteAptLock), (QStringList{"Блокировка " + DpkgLock + " занята процессом " +
            QString::number(named.processId()) + " (zaviron)", "Блокировка " + AptLock + " свободна (файла нет)"}));
        QVERIFY(!box.contains(InstanceLock) || (QFile::remove(InstanceLock) && QDir().mkdir(InstanceLock)));
        QProcess again; // a second start (main: --start) prints the text of every box it shows
        if (!box.isEmpty())
            again.start(QCoreApplication::applicationFilePath(), {"--start"});
        again.waitForFinished(20000);
        QCOMPARE(QString(again.readAllStandardOutput()), box.isEmpty() ? box : box + '\n');
        QCOMPARE(boxes.shown, QStringList());
        QCOMPARE(QFileInfo(LockFile).isSymLink() || QFileInfo(LockFile).ownerId() != 0, false);
        QCOMPARE(Support::readAll(LockFile) + Support::readAll("/etc/zv-root"),
                 QByteArray::number(named.processId()) + "\nkeep me\n");
        QCOMPARE(SafeFile::exists(DpkgLock), true);
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--hold") == 0) { // a namesake: holds the lock until it is killed
        struct flock lock = {F_WRLCK, SEEK_SET, 0, 0, 0};
        ::dprintf(1, "%s\n", ::fcntl(::open(argv[2], O_RDWR), F_SETLK, &lock) == 0 ? "ready" : "failed");
        return ::pause();
    }
    QApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--start") == 0) {
        Timing::setScale(0.01);
        MessageBoxes::setAnswerer([](QMessageBox *box) { return ::printf("%s\n", qPrintable(box->text())), 0; });
        FormStart start;
        start.show();
        QTimer::singleShot(15000, [] { QApplication::closeAllWindows(); });
        return QApplication::exec();
    }
    TestWindow suite;
    return QTest::qExec(&suite, argc, argv);
}

#include "test_window.moc"

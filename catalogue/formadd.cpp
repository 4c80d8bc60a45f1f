#include "catalogue/formadd.h"

#include <QFont>
#include <QIcon>

#include "app/messagebox.h"
#include "app/fitwindow.h"
#include "app/syspaths.h"
#include "catalogue/catalogueaccess.h"
#include "mainwindow/formmain.h"

namespace {
// Every hint that explains an optional repository field starts the same way.
const char *const OptionalRepoField = "Заполнение этого поля<br/> обязательно только<br/> для ПО, не включенного<br/> в "
                                      "стандартный<br/> репозиторий. Пример:<br/> <b><i><font color=#AA0000>";
} // namespace

QString EntryHints::opening()
{
    return QStringLiteral("Здесь <i>будут</i> появляться<br/> краткие пояснения при<br/> заполнении полей для<br/> "
                          "ввода текста. Данные<br/> сохраняются в файле:<br/> <b><i><font "
                          "color=#AA0000>dataSoftware.db</font></i></b>");
}

QString EntryHints::title()
{
    return QStringLiteral("Введите название ПО.<br/> Название может быть<br/> произвольным. Пример:<br/> <b><i><font "
                          "color=#AA0000>Gnome Commander</font></i></b>");
}

QString EntryHints::description()
{
    return QStringLiteral("Введите описание<br/> ПО. Описание может<br/> быть произвольным.<br/> Пример:<br/> <b><i><font "
                          "color=#AA0000>Файловый менеджер</font></i></b>");
}

QString EntryHints::installTitle()
{
    return QStringLiteral("Введите установочное<br/> название ПО.<br/> Название должно быть<br/> корректным, иначе<br/> "
                          "установка ПО выполнена<br/> не будет. Пример:<br/> <b><i><font "
                          "color=#AA0000>gnome-commander</font></i></b>");
}

QString EntryHints::ppa()
{
    return QString::fromUtf8(OptionalRepoField) + QStringLiteral("ppa:graphics-team/image-<br/>tools</font></i></b>");
}

QString EntryHints::getAptKey()
{
    return QStringLiteral("Заполнение этого поля<br/> не обязательно.<br/> Укажите ключ для<br/> устанавливаемого ПО. "
                          "<br/>Пример: <b><i><font color=#AA0000>http://download.example.org/<br/>linux/<br/>"
                          "repo-key.asc</font></i></b>");
}

QString EntryHints::aptListEntry()
{
    return QString::fromUtf8(OptionalRepoField) +
           QStringLiteral("deb http://download.example.org/<br/>linux/deb stable main</font></i></b>");
}

void EntryHints::titleChanged(const QLineEdit *title, QPushButton *confirm)
{
    confirm->setEnabled(!title->text().isEmpty());
}

QVector<QLineEdit *> EntryDialog::inputs(const QDialog *dialog)
{
    QVector<QLineEdit *> fields;
    for (const QString &name : CatalogueEntry::names()) {
        fields << dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit") + name);
        Q_ASSERT(fields.back());
    }
    return fields;
}

CatalogueEntry EntryDialog::typed(const QDialog *dialog)
{
    QStringList texts;
    for (const QLineEdit *field : inputs(dialog))
        texts << field->text();
    return CatalogueEntry::fromFields(texts);
}

void EntryDialog::showWriteFailed(const QString &why, const char *context)
{
    // The reason names the catalogue's folder, which may hold any text.
    MessageBoxes::run(MessageBoxes::plainWarning(QStringLiteral("Не удалось записать файл dataSoftware.db.\n") + why,
                                                 QStringLiteral("Запись не сохранена. Введённые данные остались в окне."),
                                                 context));
}

FormAdd::FormAdd(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    ButtonOK->setIcon(QIcon(QStringLiteral(":/images/ok.png")));
    ButtonCancel->setIcon(QIcon(QStringLiteral(":/images/cancel.png")));
    QFont font;
    font.setPixelSize(12);
    ButtonOK->setFont(font);
    ButtonCancel->setFont(font);
    connect(ButtonOK, &QPushButton::clicked, this, &FormAdd::saveFile);
    connect(ButtonCancel, &QPushButton::clicked, this, &FormAdd::cancel);
    setWindowIcon(QIcon(QStringLiteral(":/images/install.png")));
    setWindowTitle(QString(25, QLatin1Char(' ')) + QStringLiteral("ДОБАВЛЕНИЕ НОВОЙ  ПРОГРАММЫ  В  СПИСОК"));
    FitWindow::apply(this);
}

bool FormAdd::saveFile()
{
    // The record goes in whole or not at all, and never into a damaged or foreign catalogue; on failure the input
    // stays for another try.
    QString why;
    if (!CatalogueAccess::append(QString::fromLatin1(Sys::CatalogueFile), EntryDialog::typed(this), &why)) {
        EntryDialog::showWriteFailed(why, "FormAdd");
        return false;
    }
    for (QLineEdit *field : EntryDialog::inputs(this))
        field->clear();
    close();
    cancel();
    return true;
}

void FormAdd::on_lineEditTitle_textChanged()
{
    EntryHints::titleChanged(lineEditTitle, ButtonOK);
    labelText->setText(EntryHints::title());
}

void FormAdd::on_lineEditDescription_textChanged() { labelText->setText(EntryHints::description()); }
void FormAdd::on_lineEditInstallTitle_textChanged() { labelText->setText(EntryHints::installTitle()); }
void FormAdd::on_lineEditPPA_textChanged() { labelText->setText(EntryHints::ppa()); }
void FormAdd::on_lineEditGetAptKey_textChanged() { labelText->setText(EntryHints::getAptKey()); }
void FormAdd::on_lineEditAptListEntry_textChanged() { labelText->setText(EntryHints::aptListEntry()); }

void FormAdd::cancel()
{
    // The fresh window loads the catalogue again and runs until the user closes it; it is deleted then.
    auto *main = new FormMain(nullptr);
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->exec();
    close();
}

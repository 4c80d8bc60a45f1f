#include "catalogue/formedit.h"

#include <QFont>
#include <QIcon>

#include "app/messagebox.h"
#include "app/fitwindow.h"
#include "app/syspaths.h"
#include "catalogue/catalogueaccess.h"
#include "catalogue/formadd.h"
#include "mainwindow/formmain.h"

FormEdit::FormEdit(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    ButtonEdit->setIcon(QIcon(QStringLiteral(":/images/ok.png")));
    ButtonCancel->setIcon(QIcon(QStringLiteral(":/images/cancel.png")));
    QFont font;
    font.setPixelSize(12);
    ButtonEdit->setFont(font);
    ButtonCancel->setFont(font);
    connect(ButtonEdit, &QPushButton::clicked, this, &FormEdit::saveFile);
    connect(ButtonCancel, &QPushButton::clicked, this, &FormEdit::cancel);
    setWindowIcon(QIcon(QStringLiteral(":/images/install.png")));
    setWindowTitle(QString(29, QLatin1Char(' ')) + QStringLiteral("РЕДАКТИРОВАНИЕ ВЫБРАННОЙ  ПРОГРАММЫ"));
    FitWindow::apply(this);
}

bool FormEdit::saveFile()
{
    QString why;
    if (!CatalogueAccess::append(QString::fromLatin1(Sys::CatalogueFile), EntryDialog::typed(this), &why)) {
        EntryDialog::showWriteFailed(why, "FormEdit");
        return false;
    }
    bool ok = false;
    const int row = lineCr->text().toInt(&ok);
    return editTable(ok ? row : -1);
}

bool FormEdit::editTable(int row)
{
    const QString path = QString::fromLatin1(Sys::CatalogueFile);
    auto *main = new FormMain(nullptr);
    main->setAttribute(Qt::WA_DeleteOnClose);
    // The file goes first, then the row, so the window shows what the file holds.
    QString why;
    if (CatalogueAccess::removeEdited(path, row, EntryDialog::typed(this), &why)) {
        main->Table->removeRow(row);
        close();
        return true;
    }
    // The old row is not gone: the rewrite is atomic, so the file holds the old entry with the changed copy after it.
    // Taking the copy off again leaves the catalogue as it was before the edit, and the input stays for another try.
    delete main;
    QString undone;
    if (CatalogueAccess::undoAppend(path, EntryDialog::typed(this), &undone)) {
        MessageBoxes::run(MessageBoxes::plainWarning(
            QStringLiteral("Не удалось изменить запись в файле dataSoftware.db.\n") + why,
            QStringLiteral("Изменения не сохранены. Введённые данные остались в окне."), "FormEdit"));
        return false;
    }
    // The copy could not be taken off either: show the catalogue as the file now holds it, with both entries.
    main = new FormMain(nullptr);
    main->setAttribute(Qt::WA_DeleteOnClose);
    MessageBoxes::run(MessageBoxes::plainWarning(
        QStringLiteral("Не удалось удалить прежнюю запись из файла dataSoftware.db.\n") + why + QLatin1Char('\n') + undone,
        QStringLiteral("Изменённая запись добавлена в конец списка, прежняя осталась в файле: в списке теперь обе записи."),
        "FormEdit"));
    close();
    return true;
}

void FormEdit::cancel()
{
    auto *main = new FormMain(nullptr);
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->exec();
    close();
}

void FormEdit::on_lineEditTitle_textChanged()
{
    EntryHints::titleChanged(lineEditTitle, ButtonEdit);
    labelText->setText(EntryHints::title());
}

void FormEdit::on_lineEditDescription_textChanged() { labelText->setText(EntryHints::description()); }
void FormEdit::on_lineEditInstallTitle_textChanged() { labelText->setText(EntryHints::installTitle()); }
void FormEdit::on_lineEditPPA_textChanged() { labelText->setText(EntryHints::ppa()); }
void FormEdit::on_lineEditGetAptKey_textChanged() { labelText->setText(EntryHints::getAptKey()); }
void FormEdit::on_lineEditAptListEntry_textChanged() { labelText->setText(EntryHints::aptListEntry()); }

// Adding, editing and deleting catalogue entries from the main window.
#include "mainwindow/formmain.h"

#include "app/messagebox.h"
#include "catalogue/formadd.h"
#include "catalogue/formedit.h"

namespace {
// Edit and delete need a current row; the box says which of the two reasons applies.
void showNoCurrentRow(const QTableWidget *table)
{
    const QString text = table->rowCount() == 0 ? QStringLiteral("В таблице нет записей")
                                                : QStringLiteral("Вы должны выделить строку");
    MessageBoxes::run(MessageBoxes::closeBox(QMessageBox::Information, text, QString(), 400));
}

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}
} // namespace

// A catalogue that this window could not read whole, or may not write, is never changed: add, edit and delete say
// why and do nothing.
bool FormMain::changeAllowed()
{
    if (catalogueRefusal.isEmpty())
        return true;
    // The reason names the catalogue's folder, which may hold any text.
    MessageBoxes::run(MessageBoxes::plainWarning(catalogueRefusal, QStringLiteral("Список программ не изменён.")));
    return false;
}

void FormMain::addItemList()
{
    if (!changeAllowed())
        return;
    auto *dialog = new FormAdd(nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->labelText->setText(EntryHints::opening());
    close();
    dialog->exec();
}

bool FormMain::editItemList()
{
    const int row = Table->currentRow();
    if (row < 0) {
        showNoCurrentRow(Table);
        return false;
    }
    if (!changeAllowed())
        return false;
    auto *dialog = new FormEdit(nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->lineEditTitle->setText(cellText(Table, row, ColTitle));
    dialog->lineEditDescription->setText(cellText(Table, row, ColDescription));
    dialog->lineEditInstallTitle->setText(cellText(Table, row, ColPackage));
    dialog->lineEditPPA->setText(cellText(Table, row, ColPPA));
    dialog->lineEditGetAptKey->setText(cellText(Table, row, ColKey));
    dialog->lineEditAptListEntry->setText(cellText(Table, row, ColSources));
    dialog->lineCr->setText(QString::number(row));
    dialog->lineCr->hide();
    dialog->labelText->setText(EntryHints::opening());
    close();
    dialog->exec();
    return true;
}

bool FormMain::deleteProg()
{
    const int row = Table->currentRow();
    if (row < 0) {
        showNoCurrentRow(Table);
        return true;
    }
    if (!changeAllowed())
        return false;
    // The title is the user's text: escaped and shown as rich text, so that it reads as written, never as markup
    // (nor as an image Qt would load).
    QMessageBox *box = MessageBoxes::yesNoBox(
        QMessageBox::Question,
        QStringLiteral("Вы действительно хотите удалить программу ") + cellText(Table, row, ColTitle).toHtmlEscaped() +
            QStringLiteral(" из списка?"),
        QString(), QMessageBox::No);
    box->setTextFormat(Qt::RichText);
    if (MessageBoxes::run(box) == QMessageBox::Yes && !delRow(row)) {
        MessageBoxes::run(MessageBoxes::closeBox(
            QMessageBox::Warning, QStringLiteral("Не удалось удалить программу из файла dataSoftware.db"),
            QStringLiteral("Программа осталась в списке."), 400));
        return false;
    }
    return true;
}

#include "catalogue/formedit.h"

#include <QFont>
#include <QIcon>

#include "app/messagebox.h"
#include "app/syspaths.h"
#include "catalogue/cataloguecodec.h"
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
    connect(ButtonEdit, SIGNAL(clicked()), this, SLOT(saveFile()));
    connect(ButtonCancel, SIGNAL(clicked()), this, SLOT(cancel()));
    setWindowIcon(QIcon(QStringLiteral(":/images/install.png")));
    setWindowTitle(QString(29, QLatin1Char(' ')) + QStringLiteral("РЕДАКТИРОВАНИЕ ВЫБРАННОЙ  ПРОГРАММЫ"));
}

bool FormEdit::saveFile()
{
    const CatalogueEntry entry = CatalogueEntry::fromFields(
        {lineEditTitle->text(), lineEditDescription->text(), lineEditInstallTitle->text(), lineEditPPA->text(),
         lineEditGetAptKey->text(), lineEditAptListEntry->text()});
    if (!CatalogueCodec::appendEntry(QString::fromLatin1(Sys::CatalogueFile), entry)) {
        EntryHints::showWriteFailed();
        return false;
    }
    bool ok = false;
    const int row = lineCr->text().toInt(&ok);
    editTable(ok ? row : -1);
    return true;
}

bool FormEdit::editTable(int row)
{
    auto *main = new FormMain(nullptr);
    main->setAttribute(Qt::WA_DeleteOnClose);
    // The changed copy is the last row now; only a row before it can be the entry as it was.
    const bool oldRowFound = row >= 0 && row < main->Table->rowCount() - 1;
    bool rewritten = false;
    if (oldRowFound) {
        main->Table->removeRow(row);
        rewritten = main->saveFile();
    }
    if (!rewritten) {
        // The catalogue is rewritten atomically, so on failure it still holds the old entry and the new copy.
        MessageBoxes::run(MessageBoxes::closeBox(
            QMessageBox::Warning, QStringLiteral("Не удалось удалить прежнюю запись из файла dataSoftware.db"),
            QStringLiteral("Изменённая запись добавлена в конец списка, прежняя осталась в файле: "
                           "в списке теперь обе записи."),
            400, "FormEdit"));
    }
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

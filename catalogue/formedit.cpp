#include "catalogue/formedit.h"

#include <QFile>
#include <QFont>
#include <QIcon>

#include <unistd.h>

#include "app/messagebox.h"
#include "app/screenfit.h"
#include "app/syspaths.h"
#include "catalogue/catalogueaccess.h"
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
    ScreenFit::apply(this);
}

namespace {

CatalogueEntry typedEntry(const FormEdit *dialog)
{
    return CatalogueEntry::fromFields({dialog->lineEditTitle->text(), dialog->lineEditDescription->text(),
                                       dialog->lineEditInstallTitle->text(), dialog->lineEditPPA->text(),
                                       dialog->lineEditGetAptKey->text(), dialog->lineEditAptListEntry->text()});
}

// Takes the record just appended off the end of the catalogue again, provided the file still ends with it.
bool cutAppendedRecord(const QString &path, const QByteArray &record)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 keep = file.size() - record.size();
    if (keep < 0 || !file.seek(keep) || file.read(record.size()) != record)
        return false;
    return file.resize(keep) && ::fsync(file.handle()) == 0;
}

} // namespace

bool FormEdit::saveFile()
{
    if (!EntryHints::catalogueWritable())
        return false;
    if (!CatalogueAccess::append(QString::fromLatin1(Sys::CatalogueFile), typedEntry(this))) {
        EntryHints::showWriteFailed();
        return false;
    }
    bool ok = false;
    const int row = lineCr->text().toInt(&ok);
    return editTable(ok ? row : -1);
}

bool FormEdit::editTable(int row)
{
    auto *main = new FormMain(nullptr);
    main->setAttribute(Qt::WA_DeleteOnClose);
    // The changed copy is the last row now; only a row before it can be the entry as it was.
    if (row >= 0 && row < main->Table->rowCount() - 1) {
        main->Table->removeRow(row);
        if (main->saveFile()) {
            close();
            return true;
        }
    }
    // The old row is not gone: the rewrite is atomic, so the file holds the old entry with the changed copy after it.
    // Taking the copy off again leaves the catalogue as it was before the edit, and the input stays for another try.
    delete main;
    const QString path = QString::fromLatin1(Sys::CatalogueFile);
    if (cutAppendedRecord(path, CatalogueCodec::encodeEntry(typedEntry(this)))) {
        MessageBoxes::run(MessageBoxes::closeBox(
            QMessageBox::Warning, QStringLiteral("Не удалось изменить запись в файле dataSoftware.db"),
            QStringLiteral("Изменения не сохранены. Введённые данные остались в окне."), 400, "FormEdit"));
        return false;
    }
    // The copy could not be taken off either: show the catalogue as the file now holds it, with both entries.
    main = new FormMain(nullptr);
    main->setAttribute(Qt::WA_DeleteOnClose);
    MessageBoxes::run(MessageBoxes::closeBox(
        QMessageBox::Warning, QStringLiteral("Не удалось удалить прежнюю запись из файла dataSoftware.db"),
        QStringLiteral("Изменённая запись добавлена в конец списка, прежняя осталась в файле: "
                       "в списке теперь обе записи."),
        400, "FormEdit"));
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

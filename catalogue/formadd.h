#ifndef ZAVIRON_FORMADD_H
#define ZAVIRON_FORMADD_H

#include <QDialog>
#include <QString>

#include "catalogue/cataloguecodec.h"
#include "ui_formadd.h"

class QLineEdit;
class QPushButton;

/// The texts of the hint panel that both entry dialogs show beside their input fields.
namespace EntryHints {
QString opening();
QString title();
QString description();
QString installTitle();
QString ppa();
QString getAptKey();
QString aptListEntry();

/// The title handler of both dialogs: a title of spaces still counts, only the empty text disables the button.
void titleChanged(const QLineEdit *title, QPushButton *confirm);
} // namespace EntryHints

/// What both entry dialogs do with their six input fields, named "lineEdit" and the field's name.
namespace EntryDialog {
/// The input fields in record order.
QVector<QLineEdit *> inputs(const QDialog *dialog);
/// The entry as typed.
CatalogueEntry typed(const QDialog *dialog);
/// The box that says why the catalogue could not be written (the dialog then stays open with its input).
void showWriteFailed(const QString &why, const char *context);
} // namespace EntryDialog

/// Adds one program to the end of the catalogue, then hands over to a freshly loaded main window.
class FormAdd : public QDialog, public Ui::FormAdd
{
    Q_OBJECT

public:
    explicit FormAdd(QWidget *parent = nullptr);

private slots:
    bool saveFile();
    void on_lineEditTitle_textChanged();
    void on_lineEditDescription_textChanged();
    void on_lineEditInstallTitle_textChanged();
    void on_lineEditPPA_textChanged();
    void on_lineEditGetAptKey_textChanged();
    void on_lineEditAptListEntry_textChanged();
    void cancel();
};

#endif

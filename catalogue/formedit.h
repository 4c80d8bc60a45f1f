#ifndef ZAVIRON_FORMEDIT_H
#define ZAVIRON_FORMEDIT_H

#include <QDialog>

#include "ui_formedit.h"

/// Changes one program of the catalogue: the changed copy is appended, then the old row is deleted in a freshly
/// loaded main window, so the edited entry moves to the end. The row being edited is kept as text in lineCr.
class FormEdit : public QDialog, public Ui::FormEdit
{
    Q_OBJECT

public:
    explicit FormEdit(QWidget *parent = nullptr);

    /// Deletes the entry as it was (row) in a freshly loaded main window. If the catalogue cannot be rewritten, the
    /// copy just appended is taken off again and false is returned: the file is as before and the dialog stays open.
    bool editTable(int row);

private slots:
    bool saveFile();
    void cancel();
    void on_lineEditTitle_textChanged();
    void on_lineEditDescription_textChanged();
    void on_lineEditInstallTitle_textChanged();
    void on_lineEditPPA_textChanged();
    void on_lineEditGetAptKey_textChanged();
    void on_lineEditAptListEntry_textChanged();
};

#endif

#ifndef FORMEDIT_H
#define FORMEDIT_H

#include <QDialog>

#include "ui_formedit.h"

class FormEdit : public QDialog, public Ui::FormEdit
{
    Q_OBJECT

public:
    explicit FormEdit(QWidget *parent = nullptr);
};

#endif

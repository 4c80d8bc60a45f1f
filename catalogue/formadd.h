#ifndef FORMADD_H
#define FORMADD_H

#include <QDialog>

#include "ui_formadd.h"

class FormAdd : public QDialog, public Ui::FormAdd
{
    Q_OBJECT

public:
    explicit FormAdd(QWidget *parent = nullptr);
};

#endif

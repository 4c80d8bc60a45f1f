#ifndef FORMSTART_H
#define FORMSTART_H

#include <QDialog>

#include "ui_formstart.h"

class FormStart : public QDialog, public Ui::FormStart
{
    Q_OBJECT

public:
    explicit FormStart(QWidget *parent = nullptr);
};

#endif

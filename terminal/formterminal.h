#ifndef FORMTERMINAL_H
#define FORMTERMINAL_H

#include <QWidget>

#include "ui_formterminal.h"

class FormTerminal : public QWidget, public Ui::FormTerminal
{
    Q_OBJECT

public:
    explicit FormTerminal(const QString &command, QWidget *parent = nullptr);

signals:
    void closeTerminal();

public slots:
    void cancel();
};

#endif

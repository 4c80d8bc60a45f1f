#include "terminal/formterminal.h"

#include "mainwindow/formmain.h"

QString FormMain::instProg;

FormTerminal::FormTerminal(const QString &command, QWidget *parent) : QWidget(parent)
{
    Q_UNUSED(command)
    setupUi(this);
}

void FormTerminal::cancel() {}

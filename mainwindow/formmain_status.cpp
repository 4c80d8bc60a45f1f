// Package status: which catalogue entries are installed already.
#include "mainwindow/formmain.h"

void FormMain::checkInstallProg() {}

QString FormMain::readStatus(QString package)
{
    Q_UNUSED(package)
    return QString();
}

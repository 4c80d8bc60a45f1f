// Package status: which catalogue entries are installed already. One dpkg query covers the whole table.
#include "mainwindow/formmain.h"

#include "app/messagebox.h"
#include "mainwindow/packagestatus.h"

void FormMain::checkInstallProg()
{
    QStringList names;
    for (int row = 0; row < Table->rowCount(); ++row)
        names << cell(row, ColPackage);
    QSet<QString> installed;
    QString why;
    if (!PackageStatus::queryInstalled(names, &installed, &why)) {
        // Without dpkg's answer no row may pass for one to install: every row stays without a state.
        MessageBoxes::run(MessageBoxes::plainWarning(
            QStringLiteral("Не удалось узнать, какие программы уже установлены (") + why + QStringLiteral(")."),
            QStringLiteral("Ни одна программа не отмечена для установки.")));
        return;
    }
    const StartStates start = startStates(names, installed);
    for (int row = 0; row < Table->rowCount(); ++row)
        if (start.known.at(row))
            showRow(row, start.states.at(row));
    // apt reads anything but a package name as its own syntax (a removal, a local file, a pattern): such a row is
    // never marked, simulated or installed. One box names them all.
    if (!start.unusable.isEmpty())
        MessageBoxes::run(MessageBoxes::closeBox(
            QMessageBox::Warning, notPackageNamesText(start.unusable),
            QStringLiteral("<b><font color=#AA0000>  Эта проблема требует перезапуска программы. </font></b>")));
}

QString FormMain::readStatus(QString package)
{
    return PackageStatus::queryStatus(package);
}

// Package status: which catalogue entries are installed already. One dpkg query covers the whole table.
#include "mainwindow/formmain.h"
#include "catalogue/fieldrules.h"

#include "app/messagebox.h"
#include "mainwindow/packagestatus.h"

void FormMain::checkInstallProg()
{
    QStringList names;
    for (int row = 0; row < Table->rowCount(); ++row)
        if (FieldRules::isPackageName(cell(row, ColPackage)))
            names << cell(row, ColPackage);
    const QSet<QString> installed = PackageStatus::queryInstalled(names);

    for (int row = 0; row < Table->rowCount(); ++row) {
        const QString name = cell(row, ColPackage);
        // apt reads anything but a package name as its own syntax (a removal, a local file, a pattern): such a row
        // is never marked, simulated or installed.
        if (!FieldRules::isPackageName(name)) {
            MessageBoxes::run(MessageBoxes::closeBox(
                QMessageBox::Warning,
                QStringLiteral("  Вами в одной строке указана установка сразу нескольких программ: <font "
                               "color=#AA0000>") +
                    name.toHtmlEscaped() +
                    QStringLiteral("</font>. Это может повлечь за собой сбой корректной установки нового ПО. "
                                   "Отредактируйте список, оставив в каждой строке только по одной программе."),
                QStringLiteral("<b><font color=#AA0000>  Эта проблема требует перезапуска программы. </font></b>")));
            continue;
        }
        showRow(row, installed.contains(name) ? RowState::Installed : RowState::Marked);
    }
}

QString FormMain::readStatus(QString package)
{
    return PackageStatus::queryStatus(package);
}

// Package status: which catalogue entries are installed already. One dpkg query covers the whole table.
#include "mainwindow/formmain.h"

#include <QProgressBar>

#include "app/messagebox.h"
#include "mainwindow/packagestatus.h"

namespace {

QTableWidgetItem *statusItem(const QString &text, const QColor &colour)
{
    auto *item = new QTableWidgetItem(text);
    QFont font = item->font();
    font.setPointSize(8);
    item->setFont(font);
    item->setTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    item->setForeground(QBrush(colour));
    return item;
}

} // namespace

void FormMain::checkInstallProg()
{
    QStringList names;
    for (int row = 0; row < Table->rowCount(); ++row) {
        const QString name = Table->item(row, 5) ? Table->item(row, 5)->text() : QString();
        if (PackageStatus::isValidName(name))
            names << name;
    }
    const QSet<QString> installed = PackageStatus::queryInstalled(names);

    for (int row = 0; row < Table->rowCount(); ++row) {
        const QString name = Table->item(row, 5) ? Table->item(row, 5)->text() : QString();
        if (!PackageStatus::isValidName(name)) {
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
        QTableWidgetItem *select = Table->item(row, 0);
        if (installed.contains(name)) {
            select->setCheckState(Qt::Unchecked);
            select->setForeground(QBrush(QColor(0, 0, 180)));
            select->setText(QStringLiteral("Нет"));
            select->setFlags(Qt::ItemIsEnabled);
            Table->setItem(row, 4, statusItem(QStringLiteral("ПО уже установлено"), QColor(0, 0, 127)));
        } else {
            select->setCheckState(Qt::Checked);
            select->setForeground(QBrush(QColor(11, 127, 107)));
            select->setText(QStringLiteral("Да"));
            Table->setItem(row, 4, statusItem(QStringLiteral("ПО отмечено для установки"), QColor(11, 127, 107)));
            auto *bar = new QProgressBar();
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setAlignment(Qt::AlignCenter);
            Table->setCellWidget(row, 3, bar);
        }
    }
}

QString FormMain::readStatus(QString package)
{
    return PackageStatus::queryStatus(package);
}

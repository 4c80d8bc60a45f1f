// Moving the catalogue between the file and the table: the table is the only copy in memory, row i is record i.
#include "mainwindow/formmain.h"

#include <QApplication>

#include "app/syspaths.h"
#include "catalogue/cataloguecodec.h"

namespace {
// Columns of the six fields, in record order.
const int FieldColumns[CatalogueEntry::FieldCount] = {ColTitle, ColDescription, ColPackage, ColPPA, ColKey, ColSources};
} // namespace

bool FormMain::loadFile()
{
    QVector<CatalogueEntry> entries;
    if (!CatalogueCodec::readFile(QString::fromLatin1(Sys::CatalogueFile), &entries))
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int n = Table->rowCount();
    for (const CatalogueEntry &e : entries) {
        Table->setRowCount(n + 1);
        setProg(n, e.title, e.description, e.installTitle, e.ppa, e.getAptKey, e.aptListEntry);
        ++n;
    }
    QApplication::restoreOverrideCursor();
    return true;
}

void FormMain::setProg(int row, QString title, QString description, QString installTitle, QString ppa,
                       QString getAptKey, QString aptListEntry)
{
    const QString texts[CatalogueEntry::FieldCount] = {title, description, installTitle, ppa, getAptKey, aptListEntry};
    for (int i = 0; i < CatalogueEntry::FieldCount; ++i)
        Table->setItem(row, FieldColumns[i], new QTableWidgetItem(texts[i]));
}

QVector<CatalogueEntry> FormMain::tableEntries() const
{
    QVector<CatalogueEntry> entries;
    entries.reserve(Table->rowCount());
    for (int row = 0; row < Table->rowCount(); ++row) {
        QStringList fields;
        for (int column : FieldColumns) {
            const QTableWidgetItem *item = Table->item(row, column);
            fields << (item ? item->text() : QString());
        }
        entries << CatalogueEntry::fromFields(fields);
    }
    return entries;
}

bool FormMain::writeEntries(const QVector<CatalogueEntry> &entries)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool saved = CatalogueCodec::saveFile(QString::fromLatin1(Sys::CatalogueFile), entries);
    QApplication::restoreOverrideCursor();
    return saved;
}

bool FormMain::saveFile() { return writeEntries(tableEntries()); }

bool FormMain::delRow(int row)
{
    if (row < 0 || row >= Table->rowCount())
        return false;
    // The file goes first: a row that could not be deleted from it stays in the table too, so what the user sees
    // is what the file holds.
    QVector<CatalogueEntry> entries = tableEntries();
    entries.remove(row);
    if (!writeEntries(entries))
        return false;
    Table->removeRow(row);
    return true;
}

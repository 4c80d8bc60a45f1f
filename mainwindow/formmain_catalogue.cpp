// Moving the catalogue between the file and the table: the table is the only copy in memory, row i is record i.
#include "mainwindow/formmain.h"

#include <QApplication>

#include "app/messagebox.h"
#include "app/syspaths.h"
#include "catalogue/catalogueaccess.h"
#include "catalogue/cataloguecodec.h"

namespace {
// Columns of the six fields, in record order.
const int FieldColumns[CatalogueEntry::FieldCount] = {ColTitle, ColDescription, ColPackage, ColPPA, ColKey, ColSources};
} // namespace

bool FormMain::loadFile()
{
    const CatalogueAccess::Loaded loaded = CatalogueAccess::load(QString::fromLatin1(Sys::CatalogueFile));
    // While the catalogue this window read cannot be written, no change is written: the window remembers why.
    catalogueRefusal = loaded.writable() ? QString() : loaded.why;
    if (!loaded.usable) {
        // The reason names the catalogue's folder, which may hold any text.
        MessageBoxes::run(MessageBoxes::plainWarning(
            loaded.why, QStringLiteral("Список программ не загружен, изменения списка записаны не будут.")));
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int n = Table->rowCount();
    for (const CatalogueEntry &e : loaded.entries) {
        Table->setRowCount(n + 1);
        setProg(n, e.title, e.description, e.installTitle, e.ppa, e.getAptKey, e.aptListEntry);
        ++n;
    }
    QApplication::restoreOverrideCursor();
    return loaded.read;
}

void FormMain::setProg(int row, QString title, QString description, QString installTitle, QString ppa,
                       QString getAptKey, QString aptListEntry)
{
    const QString texts[CatalogueEntry::FieldCount] = {title, description, installTitle, ppa, getAptKey, aptListEntry};
    for (int i = 0; i < CatalogueEntry::FieldCount; ++i) {
        auto *item = new QTableWidgetItem(texts[i]);
        if (FieldColumns[i] == ColTitle || FieldColumns[i] == ColDescription)
            item->setToolTip(cellToolTip(texts[i]));
        Table->setItem(row, FieldColumns[i], item);
    }
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
    if (!catalogueRefusal.isEmpty())
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool saved = CatalogueAccess::rewrite(QString::fromLatin1(Sys::CatalogueFile), entries);
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

#ifndef ZAVIRON_ROWSTATE_H
#define ZAVIRON_ROWSTATE_H

#include <QColor>
#include <QString>
#include <QStringList>
#include <QVector>

#include "catalogue/cataloguecodec.h"

/// The main table's columns.
enum Column {
    ColSelect = 0,   ///< "Да"/"Нет" with its check box
    ColTitle,        ///< the program's title
    ColDescription,  ///< its description
    ColBar,          ///< the progress bar
    ColStatus,       ///< the status text
    ColPackage,      ///< hidden: the package name
    ColPPA,          ///< hidden: the PPA
    ColKey,          ///< hidden: the signing-key URL
    ColSources,      ///< hidden: the sources.list line
    ColumnCount
};

/// Where a row stands in the workflow. The window stores it with the row and derives everything shown from it.
enum class RowState { Installed, Marked, Unmarked, NotInstallable, Installing, Done, Failed };

/// What a row in a state looks like.
struct RowLook {
    enum Bar { NoBar, Zero, Busy, Full };
    bool setsSelect = true;  ///< false: the selection cell keeps what it shows (the installation run)
    QString selectText;
    QColor selectColour;
    Qt::CheckState check = Qt::Unchecked;
    bool checkable = true;   ///< false: the user cannot tick the row (already installed)
    QString statusText;
    QColor statusColour;
    bool setsStatusColour = true;
    Bar bar = NoBar;
};

/// The look of a state.
RowLook rowLook(RowState state);

/// The state a user's click on the check box leads to (the same state when the click changes nothing).
RowState afterClick(RowState state, bool checked);

namespace Workflow {

/// The package names of the marked rows, in row order, each once.
QStringList markedPackages(const QVector<CatalogueEntry> &entries, const QVector<RowState> &states);

/// The rows whose package field is name.
QVector<int> rowsOf(const QVector<CatalogueEntry> &entries, const QString &name);

/// What one repository step adds: the filled fields of the marked rows, in row order, and their packages.
struct RepoStep {
    QStringList fields;
    QStringList packages;
};

/// What the repository preparation does for a table: a step per kind of field, in the order they run.
struct RepoPlan {
    RepoStep ppas;
    RepoStep keys;
    RepoStep sourcesLines;
    bool needUpdate = false; ///< any row (marked or not) has a repository field
};
RepoPlan planRepositories(const QVector<CatalogueEntry> &entries, const QVector<RowState> &states);

} // namespace Workflow

#endif

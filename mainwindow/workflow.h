#ifndef ZAVIRON_WORKFLOW_H
#define ZAVIRON_WORKFLOW_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include "catalogue/cataloguecodec.h"
#include "mainwindow/rowstate.h"

/// What the check and the installation work on: the marked packages, the rows of a package, the repositories the
/// marked rows need, and what the refresh of the package lists came to.
namespace Workflow {

/// The package names of the marked rows, in row order, each once.
QStringList markedPackages(const QVector<CatalogueEntry> &entries, const QVector<RowState> &states);

/// The rows whose package field is name.
QVector<int> rowsOf(const QVector<CatalogueEntry> &entries, const QString &name);

/// A marked row that brings repository data: its package and its (possibly empty) PPA, key and sources line.
struct RepoRow {
    QString package;
    QString ppa;
    QString key;
    QString sourcesLine;
};

/// What the repository preparation does for a table.
struct RepoPlan {
    QVector<RepoRow> rows;   ///< the marked rows with a repository field, in row order
    bool needUpdate = false; ///< any row (marked or not) has a repository field

};
RepoPlan planRepositories(const QVector<CatalogueEntry> &entries, const QVector<RowState> &states);

/// What a refresh of the package lists left in its private folder: its exit status (-1 when it never wrote one,
/// being ended before) and what apt wrote to standard error.
struct Refresh {
    int status = -1;
    QByteArray errors;
};
Refresh readRefresh(const QString &folder);

} // namespace Workflow

#endif

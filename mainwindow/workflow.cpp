#include "mainwindow/workflow.h"

#include <QFile>

#include "app/syspaths.h"
#include "catalogue/fieldrules.h"

namespace {
// What apt says on standard error during a refresh is a few lines per repository; a flood is read no further.
constexpr qint64 ErrorsReadMax = 1024 * 1024;
} // namespace

QStringList Workflow::markedPackages(const QVector<CatalogueEntry> &entries, const QVector<RowState> &states)
{
    QStringList names;
    for (int row = 0; row < entries.size() && row < states.size(); ++row)
        if (states.at(row) == RowState::Marked && !names.contains(entries.at(row).installTitle))
            names << entries.at(row).installTitle;
    return names;
}

QVector<int> Workflow::rowsOf(const QVector<CatalogueEntry> &entries, const QString &name)
{
    QVector<int> rows;
    for (int row = 0; row < entries.size(); ++row)
        if (entries.at(row).installTitle == name)
            rows << row;
    return rows;
}

Workflow::RepoPlan Workflow::planRepositories(const QVector<CatalogueEntry> &entries, const QVector<RowState> &states)
{
    RepoPlan plan;
    for (int row = 0; row < entries.size(); ++row) {
        const CatalogueEntry &e = entries.at(row);
        const bool any = !e.ppa.isEmpty() || !e.getAptKey.isEmpty() || !e.aptListEntry.isEmpty();
        // Any filled field asks for a refresh of the package lists, whether its row is marked or not.
        plan.needUpdate = plan.needUpdate || any;
        if (any && row < states.size() && states.at(row) == RowState::Marked)
            plan.rows << RepoRow{e.installTitle, e.ppa, e.getAptKey, e.aptListEntry};
    }
    return plan;
}

Workflow::Refresh Workflow::readRefresh(const QString &folder)
{
    Refresh refresh;
    QFile status(folder + QLatin1Char('/') + QLatin1String(Sys::RefreshStatusName));
    bool known = status.open(QIODevice::ReadOnly);
    const QByteArray text = known ? status.readAll().trimmed() : QByteArray();
    const int value = text.toInt(&known);
    if (known)
        refresh.status = value;
    QFile errors(folder + QLatin1Char('/') + QLatin1String(Sys::RefreshErrorsName));
    if (errors.open(QIODevice::ReadOnly))
        refresh.errors = errors.read(ErrorsReadMax);
    return refresh;
}

#include "mainwindow/rowstate.h"

#include <QSet>

namespace {
const QColor MarkedColour(11, 127, 107);
const QColor RedColour(180, 0, 0);
const QColor InstalledSelectColour(0, 0, 180);
const QColor InstalledStatusColour(0, 0, 127);
} // namespace

RowLook rowLook(RowState state)
{
    RowLook look;
    switch (state) {
    case RowState::Installed:
        look = {true, QStringLiteral("Нет"), InstalledSelectColour, Qt::Unchecked, false,
                QStringLiteral("ПО уже установлено"), InstalledStatusColour, true, RowLook::NoBar};
        break;
    case RowState::Marked:
        look = {true, QStringLiteral("Да"), MarkedColour, Qt::Checked, true,
                QStringLiteral("ПО отмечено для установки"), MarkedColour, true, RowLook::Zero};
        break;
    case RowState::Unmarked:
        look = {true, QStringLiteral("Нет"), RedColour, Qt::Unchecked, true,
                QStringLiteral("ПО не будет установлено"), RedColour, true, RowLook::NoBar};
        break;
    case RowState::NotInstallable:
        look = {true, QStringLiteral("Нет"), RedColour, Qt::Unchecked, true,
                QStringLiteral("ПО нельзя установить"), RedColour, true, RowLook::NoBar};
        break;
    // During the run the selection keeps its look and the status keeps the marked colour until a failure.
    case RowState::Installing:
        look = {false, {}, {}, Qt::Checked, true, QStringLiteral("Выполняется установка ПО"), {}, false,
                RowLook::Busy};
        break;
    case RowState::Done:
        look = {false, {}, {}, Qt::Checked, true, QStringLiteral("Закончена установка ПО"), {}, false, RowLook::Full};
        break;
    case RowState::Failed:
        look = {false, {}, {}, Qt::Checked, true, QStringLiteral("Установка ПО не удалась"), RedColour, true,
                RowLook::Zero};
        break;
    }
    return look;
}

RowState afterClick(RowState state, bool checked)
{
    if (checked && state == RowState::Unmarked)
        return RowState::Marked;
    if (!checked && state == RowState::Marked)
        return RowState::Unmarked;
    return state;
}

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
    auto add = [](RepoStep &step, const QString &field, const QString &package) {
        if (field.isEmpty())
            return;
        step.fields << field;
        step.packages << package;
    };
    for (int row = 0; row < entries.size(); ++row) {
        const CatalogueEntry &e = entries.at(row);
        // Any filled field asks for a refresh of the package lists, whether its row is marked or not.
        plan.needUpdate = plan.needUpdate || !e.ppa.isEmpty() || !e.getAptKey.isEmpty() || !e.aptListEntry.isEmpty();
        if (row >= states.size() || states.at(row) != RowState::Marked)
            continue;
        add(plan.ppas, e.ppa, e.installTitle);
        add(plan.keys, e.getAptKey, e.installTitle);
        add(plan.sourcesLines, e.aptListEntry, e.installTitle);
    }
    return plan;
}

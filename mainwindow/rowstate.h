#ifndef ZAVIRON_ROWSTATE_H
#define ZAVIRON_ROWSTATE_H

#include <QColor>
#include <QSet>
#include <QStringList>
#include <QVector>
#include <QString>

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


/// A cell's text as its tooltip: the whole of it (the columns cut long texts), shown as written, never as markup.
QString cellToolTip(const QString &text);

/// The rows' states at start-up, from their package fields and the installed names.
struct StartStates {
    QVector<RowState> states;
    QVector<bool> known;  ///< false: the field is no package name, the row gets no state at all
    QStringList unusable; ///< those fields, in row order, each once
};
StartStates startStates(const QStringList &packageFields, const QSet<QString> &installed);

/// The warning about package fields that are no package names: the fields joined (escaped, as rich text), the list
/// cut after 20 with how many more.
QString notPackageNamesText(const QStringList &fields);

#endif

#ifndef ZAVIRON_TABWIDGET_H
#define ZAVIRON_TABWIDGET_H

#include <QTabWidget>

#include "terminal/terminalcommand.h"

class TermWidgetHolder;

/// The terminal window's tab widget: one tab holding the terminal, with the tab bar hidden.
class TabWidget : public QTabWidget
{
    Q_OBJECT

public:
    explicit TabWidget(QWidget *parent = nullptr);

    /// The page of the current tab.
    TermWidgetHolder *terminalHolder() const;

signals:
    void finished();

public slots:
    /// Adds a tab whose terminal runs command at once; returns the tab's index.
    int addNewTab(const TerminalCommand &command);
};

#endif

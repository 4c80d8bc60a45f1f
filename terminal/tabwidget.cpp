#include "terminal/tabwidget.h"

#include <QTabBar>

#include "terminal/termwidgetholder.h"

TabWidget::TabWidget(QWidget *parent) : QTabWidget(parent) {}

TermWidgetHolder *TabWidget::terminalHolder() const { return qobject_cast<TermWidgetHolder *>(currentWidget()); }

int TabWidget::addNewTab(const QString &shell_program)
{
    TermWidgetHolder *holder = new TermWidgetHolder(shell_program, this);
    connect(holder, SIGNAL(finished()), this, SIGNAL(finished()));
    const int index = addTab(holder, QString());
    tabBar()->hide();
    return index;
}

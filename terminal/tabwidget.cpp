#include "terminal/tabwidget.h"

#include <QTabBar>

#include "terminal/termwidgetholder.h"

TabWidget::TabWidget(QWidget *parent) : QTabWidget(parent) {}

TermWidgetHolder *TabWidget::terminalHolder() const { return qobject_cast<TermWidgetHolder *>(currentWidget()); }

int TabWidget::addNewTab(const TerminalCommand &command)
{
    TermWidgetHolder *holder = new TermWidgetHolder(command, this);
    connect(holder, &TermWidgetHolder::finished, this, &TabWidget::finished);
    const int index = addTab(holder, QString());
    tabBar()->hide();
    return index;
}

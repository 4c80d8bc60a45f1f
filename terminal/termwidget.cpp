#include "terminal/termwidget.h"

#include <QPainter>
#include <QVBoxLayout>

#include "terminal/termwidgetimpl.h"

TermWidget::TermWidget(const TerminalCommand &command, QWidget *parent) : QWidget(parent)
{
    terminal = new TermWidgetImpl(command, this);
    box = new QVBoxLayout;
    box->addWidget(terminal);
    setLayout(box);
    connect(terminal, &QTermWidget::finished, this, &TermWidget::finished);
}

void TermWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setPen(QPen(QBrush(QColor(0, 85, 130), Qt::SolidPattern), 15));
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

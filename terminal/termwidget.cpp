#include "terminal/termwidget.h"

#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include <cerrno>
#include <csignal>

#include "app/syspaths.h"
#include "terminal/termwidgetimpl.h"

TermWidget::TermWidget(const TerminalCommand &command, QWidget *parent) : QWidget(parent)
{
    terminal = new TermWidgetImpl(command, this);
    box = new QVBoxLayout;
    box->addWidget(terminal);
    setLayout(box);
    connect(terminal, &QTermWidget::finished, this, &TermWidget::finished);
    // The emulator reports no end for a program that a signal killed (an apt-get ended by the abort, by another
    // program or for want of memory), and its window would wait for it for good. The process is reaped as soon as
    // it ends, in the same turn of the event loop that reports a normal end: once it has gone, its end has been
    // reported unless the emulator kept it back.
    const pid_t pid = terminal->getShellPID();
    if (pid <= 0)
        return;
    auto *watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this, watch, pid] {
        if (::kill(pid, 0) == 0 || errno != ESRCH)
            return;
        watch->stop();
        emit finished();
    });
    connect(terminal, &QTermWidget::finished, watch, &QTimer::stop);
    watch->start(Sys::TerminalWatchMs);
}

void TermWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setPen(QPen(QBrush(QColor(0, 85, 130), Qt::SolidPattern), 15));
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

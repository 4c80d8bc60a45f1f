#include "terminal/termwidgetholder.h"

#include <QGridLayout>
#include <QPointer>
#include <QSplitter>

#include "terminal/termwidget.h"

TermWidgetHolder::TermWidgetHolder(const TerminalCommand &command, QWidget *parent) : QWidget(parent), command(command)
{
    setFocusPolicy(Qt::NoFocus);
    QGridLayout *grid = new QGridLayout;
    grid->setSpacing(0);
    grid->setContentsMargins(0, 0, 0, 0);
    QSplitter *splitter = new QSplitter(this);
    grid->addWidget(splitter);
    splitter->addWidget(newTerm());
    setLayout(grid);
}

TermWidget *TermWidgetHolder::newTerm()
{
    TermWidget *term = new TermWidget(command, this);
    connect(term, &TermWidget::finished, this, &TermWidgetHolder::handle_finished);
    connect(term, &TermWidget::finished, window(), &QWidget::close);
    return term;
}

TermWidget *TermWidgetHolder::terminal() const { return findChild<TermWidget *>(); }

void TermWidgetHolder::handle_finished()
{
    // The receivers of finished() continue their workflow right here and may do anything, so the window is held
    // by a guarded pointer and nothing of this object is touched afterwards.
    QPointer<QWidget> top = window();
    emit finished();
    if (top)
        top->close();
}

#ifndef ZAVIRON_TERMWIDGETHOLDER_H
#define ZAVIRON_TERMWIDGETHOLDER_H

#include <QString>
#include <QWidget>

#include "terminal/terminalcommand.h"

class TermWidget;

/// A tab's page: keeps the command and lays out its one terminal in a splitter. When the command ends it
/// reports finished() and closes the window it sits in.
class TermWidgetHolder : public QWidget
{
    Q_OBJECT

public:
    explicit TermWidgetHolder(const TerminalCommand &command, QWidget *parent = nullptr);

    /// A terminal running the kept command.
    TermWidget *newTerm();

    /// The terminal in the splitter.
    TermWidget *terminal() const;

signals:
    void finished();

private slots:
    void handle_finished();

private:
    TerminalCommand command;
};

#endif

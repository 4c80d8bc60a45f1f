#ifndef ZAVIRON_TERMWIDGETIMPL_H
#define ZAVIRON_TERMWIDGETIMPL_H

#include <qtermwidget.h>

#include "terminal/terminalcommand.h"

/// The terminal emulator: green on black, no scroll-back. Its constructor runs the command's program with its
/// arguments as they are, without a shell.
class TermWidgetImpl : public QTermWidget
{
    Q_OBJECT

public:
    explicit TermWidgetImpl(const TerminalCommand &command, QWidget *parent = nullptr);
};

#endif

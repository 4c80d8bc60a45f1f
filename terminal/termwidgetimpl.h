#ifndef TERMWIDGETIMPL_H
#define TERMWIDGETIMPL_H

#include <qtermwidget.h>

/// The terminal emulator: green on black, no scroll-back. Its constructor splits the command line at white space
/// and runs the first word as the program with the others as its arguments, without a shell.
class TermWidgetImpl : public QTermWidget
{
    Q_OBJECT

public:
    explicit TermWidgetImpl(const QString &command, QWidget *parent = nullptr);
};

#endif

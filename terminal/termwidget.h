#ifndef ZAVIRON_TERMWIDGET_H
#define ZAVIRON_TERMWIDGET_H

#include <QList>
#include <QWidget>

#include <sys/types.h>

#include "terminal/terminalcommand.h"

class QPaintEvent;
class QVBoxLayout;
class TermWidgetImpl;

/// Frames one terminal in dark blue and relays the end of its command, also an end the emulator does not report.
class TermWidget : public QWidget
{
    Q_OBJECT

public:
    explicit TermWidget(const TerminalCommand &command, QWidget *parent = nullptr);

    /// The terminal emulator inside the frame.
    TermWidgetImpl *impl() const { return terminal; }

    /// The end is reported only once nothing runs in these sessions either (besides the command's own).
    void awaitSessions(const QList<pid_t> &more);

signals:
    void finished();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TermWidgetImpl *terminal;
    bool childGone = false; // the command's own process has ended
    bool reported = false;  // finished() has been emitted
    QList<pid_t> sessions;  // the end waits until nothing of these runs: the command's own, and what an abort adds
    QVBoxLayout *box;
};

#endif

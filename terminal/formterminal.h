#ifndef ZAVIRON_FORMTERMINAL_H
#define ZAVIRON_FORMTERMINAL_H

#include <QWidget>

#include "terminal/terminalcommand.h"
#include "ui_formterminal.h"

class QCloseEvent;

/// A window that runs one command live in a terminal and reports its end with closeTerminal(), at most once.
/// Its button aborts the run by ending the apt-get processes this program started. A window frees itself once it
/// is closed and nothing runs in it any more.
class FormTerminal : public QWidget, public Ui::FormTerminal
{
    Q_OBJECT

public:
    /// Starts command at once and shows the window; connect closeTerminal() right after construction.
    explicit FormTerminal(const TerminalCommand &command, QWidget *parent = nullptr);

    /// True once the user aborted the command with the window's button.
    bool aborted() const { return aborting; }

signals:
    void closeTerminal();

public slots:
    void cancel();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void endTerminal(); // emits closeTerminal() the first time only

    bool ended = false;       // closeTerminal() has been emitted
    bool commandOver = false; // the command ended by itself
    bool notStarted = false;  // the command could not be started
    bool aborting = false;    // the abort ended our apt-get; the window waits for the rest of its session
    bool reporting = false;   // closeTerminal() is being emitted: the window is not freed meanwhile
    QString header;           // the header as the command's start set it
};

#endif

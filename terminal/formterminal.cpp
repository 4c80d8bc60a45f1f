#include "terminal/formterminal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>

#include "app/ownprocesses.h"
#include "app/fitwindow.h"
#include "app/screenfit.h"
#include "app/syspaths.h"
#include "mainwindow/formmain.h"
#include "terminal/terminaltexts.h"
#include "terminal/termwidget.h"
#include "terminal/termwidgetholder.h"
#include "terminal/termwidgetimpl.h"


FormTerminal::FormTerminal(const TerminalCommand &command, QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    ButtonClose->setIcon(QIcon(QStringLiteral(":/images/cancel.png")));
    setWindowIcon(QIcon(QStringLiteral(":/images/install.png")));
    setWindowTitle(QString(31, QLatin1Char(' ')) + QStringLiteral("ТЕРМИНАЛ  ПРОГРАММЫ"));
    header = TerminalTexts::header(command.shownText(), FormMain::instProg);
    label->setText(header);

    connect(ButtonClose, &QPushButton::clicked, this, &FormTerminal::cancel);
    // The callers take every closeTerminal() as the end of their command, so a second one would start a second
    // package or a second check: an end after a successful abort is not reported again.
    connect(consoleTabulator, &TabWidget::finished, this, [this] {
        commandOver = true;
        endTerminal();
        // After an abort the window closes at the end of its session; a window closed already is freed at the end
        // (the close that would follow reaches a closed window on Qt 5 alone).
        if (aborting && isVisible())
            close();
        else if (!isVisible())
            deleteLater();
    });

    consoleTabulator->addNewTab(command);
    TermWidgetImpl *terminal = consoleTabulator->terminalHolder()->terminal()->impl();
    if (terminal->getShellPID() <= 0) {
        // Nothing runs, so no end would ever come: the window says so and stays open until the user closes it.
        notStarted = true;
        label->setText(TerminalTexts::failedHeader(command.shownText()));
    }

    const QSize desktop = screen()->virtualSize(); // the whole desktop, as the desktop widget measured it
    setGeometry(ScreenFit::terminalGeometry(desktop.width(), desktop.height()));
    FitWindow::apply(this);
    show();
}

void FormTerminal::endTerminal()
{
    if (ended)
        return;
    ended = true;
    // The receivers go on with their workflow right here and may wait for a hidden command, while the event loop
    // turns: a close of this window meanwhile must not free it under their feet (closeEvent leaves it alone).
    reporting = true;
    emit closeTerminal();
    reporting = false;
}

void FormTerminal::cancel()
{
    if (notStarted) {
        close();
        return;
    }
    // Only the apt-get processes this program started are ended (SIGTERM, as killall sends); an apt-get of another
    // program, such as the system's updater, is left alone. Nothing ended means nothing happens.
    // The window stays until every process of the command's session has ended: a dpkg that apt-get left running
    // would die with the terminal, half configuring a package. The end is reported then, and the window closes.
    if (aborting)
        return;
    TermWidget *terminal = consoleTabulator->terminalHolder()->terminal();
    terminal->awaitSessions(OwnProcesses::sessionsBelow(terminal->impl()->getShellPID()));
    if (OwnProcesses::terminate(QString::fromLatin1(Sys::AptGet)) > 0) {
        aborting = true;
        label->setText(header + TerminalTexts::finishingNote());
    }
}

void FormTerminal::closeEvent(QCloseEvent *event)
{
    // While the command runs the window stays: apt may ask a question here (a licence, a configuration file) that
    // only this terminal can answer, and a hidden question would stall the run for good.
    if (!commandOver && !notStarted) {
        event->ignore();
        label->setText(header + (aborting ? TerminalTexts::finishingNote() : TerminalTexts::stillRunningNote()));
        return;
    }
    event->accept();
    // A command that never started has no end of its own: the user closing the window is its end.
    if (notStarted)
        endTerminal();
    // Destroying the terminal would kill a command that still runs, so the window is freed only after its end; one
    // closed while it reports its end is freed when the report is over.
    if ((commandOver || notStarted) && !reporting)
        deleteLater();
}

#include "terminal/formterminal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>

#include "app/ownprocesses.h"
#include "app/screenfit.h"
#include "app/syspaths.h"
#include "mainwindow/formmain.h"
#include "terminal/commandline.h"
#include "terminal/termwidget.h"
#include "terminal/termwidgetholder.h"
#include "terminal/termwidgetimpl.h"

QString FormMain::instProg;

FormTerminal::FormTerminal(const TerminalCommand &command, QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    ButtonClose->setIcon(QIcon(QStringLiteral(":/images/cancel.png")));
    setWindowIcon(QIcon(QStringLiteral(":/images/install.png")));
    setWindowTitle(QString(31, QLatin1Char(' ')) + QStringLiteral("ТЕРМИНАЛ  ПРОГРАММЫ"));
    header = CommandLine::header(command.shownText(), FormMain::instProg);
    label->setText(header);

    connect(ButtonClose, &QPushButton::clicked, this, &FormTerminal::cancel);
    // The callers take every closeTerminal() as the end of their command, so a second one would start a second
    // package or a second check: an end after a successful abort is not reported again.
    connect(consoleTabulator, &TabWidget::finished, this, [this] {
        commandOver = true;
        endTerminal();
        // A window that the abort has closed already is freed at its command's end: the close that follows the
        // end reaches a closed window on Qt 5 alone.
        if (!isVisible())
            deleteLater();
    });

    consoleTabulator->addNewTab(command);
    TermWidgetImpl *terminal = consoleTabulator->terminalHolder()->terminal()->impl();
    if (terminal->getShellPID() <= 0) {
        // Nothing runs, so no end would ever come: the window says so and stays open until the user closes it.
        notStarted = true;
        label->setText(CommandLine::failedHeader(command.shownText()));
    }

    const QSize desktop = screen()->virtualSize(); // the whole desktop, as the desktop widget measured it
    setGeometry(CommandLine::geometry(desktop.width(), desktop.height()));
    ScreenFit::apply(this);
    show();
}

void FormTerminal::endTerminal()
{
    if (ended)
        return;
    ended = true;
    emit closeTerminal();
}

void FormTerminal::cancel()
{
    if (notStarted) {
        close();
        return;
    }
    // Only the apt-get processes this program started are ended (SIGTERM, as killall sends); an apt-get of another
    // program, such as the system's updater, is left alone. Nothing ended means nothing happens.
    if (OwnProcesses::terminate(QString::fromLatin1(Sys::AptGet)) > 0) {
        endTerminal();
        close();
    }
}

void FormTerminal::closeEvent(QCloseEvent *event)
{
    // While the command runs the window stays: apt may ask a question here (a licence, a configuration file) that
    // only this terminal can answer, and a hidden question would stall the run for good.
    if (!commandOver && !notStarted && !ended) {
        event->ignore();
        label->setText(header + CommandLine::stillRunningNote());
        return;
    }
    event->accept();
    // A command that never started has no end of its own: the user closing the window is its end.
    if (notStarted)
        endTerminal();
    // Destroying the terminal would kill a command that still runs, so the window is freed only after its end.
    if (commandOver || notStarted)
        deleteLater();
}

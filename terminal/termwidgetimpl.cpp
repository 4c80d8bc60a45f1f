#include "terminal/termwidgetimpl.h"

#include "app/process.h"

TermWidgetImpl::TermWidgetImpl(const TerminalCommand &command, QWidget *parent) : QTermWidget(0, parent)
{
    QFont font(QStringLiteral("Monospace"), 9);
    font.setStyleHint(QFont::TypeWriter);
    setTerminalFont(font);
    setColorScheme(QStringLiteral("GreenOnBlack"));
    setKeyBindings(QString());
    setHistorySize(0);

    const QString &program = command.program;
    // The emulator runs an interactive shell in place of an empty or missing program; a command that cannot run is
    // therefore not started at all, and the window reports it (no shell process means no pid).
    if (findProgram(program).isEmpty())
        return;
    setShellProgram(program);
    if (!command.args.isEmpty())
        setArgs(command.args);
    startShellProgram();
}

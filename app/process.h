#ifndef ZAVIRON_PROCESS_H
#define ZAVIRON_PROCESS_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "app/syspaths.h"

/// What a hidden command left behind.
struct ProcessResult {
    bool started = false;   ///< the program could be started at all
    bool finished = false;  ///< it ended by itself, normally, within the time limit
    bool timedOut = false;  ///< it was still running at the time limit and was ended
    int exitCode = -1;      ///< its exit code when it finished normally, else -1
    QByteArray out;         ///< everything it wrote to standard output
    QByteArray err;         ///< everything it wrote to standard error
    bool stopped = false;   ///< it was ended by endHiddenCommands() (the window that waited for it closed)

    /// It started, ended by itself within its time and exited 0.
    bool succeeded() const { return started && finished && exitCode == 0; }
    /// Why it did not succeed, for a log line (empty when it did): not started, no end in time, or its exit code
    /// with the first line of what it wrote to standard error.
    QString failure(int timeoutMs = Sys::CommandTimeoutMs) const;
};

/// Runs program with an argument list (no shell parses anything), feeds it input, waits at most timeoutMs and
/// ends it if it still runs.
///
/// On the application's thread the wait turns the event loop: windows repaint, timers fire, and a click or a close
/// is handled before this returns. A caller that belongs to a window must therefore look, after every call, whether
/// the window was closed meanwhile (FormMain::stopped()) and go no further if so; a close ends the command at once
/// (endHiddenCommands), so the result then says stopped. Elsewhere (no application, another thread) it blocks.
ProcessResult runProgram(const QString &program, const QStringList &args, int timeoutMs = Sys::CommandTimeoutMs,
                         const QByteArray &input = QByteArray());

/// Ends every hidden command that a runProgram() call is waiting for now (their whole process groups); each of
/// those calls then returns at once, its result saying stopped. Commands started later are not affected.
void endHiddenCommands();

/// True while some runProgram() call on this thread is waiting: a window's method may then be on the stack below.
bool waitingForHiddenCommand();

/// The file a program name would run: a name with a '/' is taken as a path, any other is looked up on the search
/// path. Empty when there is no such executable file.
QString findProgram(const QString &program);

/// True when program is found on the search path.
bool programExists(const QString &program);

#endif

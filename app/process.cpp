#include "app/process.h"

#include <QProcess>
#include <QStandardPaths>

ProcessResult runProgram(const QString &program, const QStringList &args, int timeoutMs, const QByteArray &input)
{
    ProcessResult result;
    QProcess process;
    process.start(program, args, QIODevice::ReadWrite);
    if (!process.waitForStarted(timeoutMs))
        return result;
    result.started = true;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(1000);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    } else {
        result.finished = false;
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

bool programExists(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

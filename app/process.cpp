#include "app/process.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <unistd.h>

namespace {

// Each hidden command leads a process group of its own, so that at its time limit the whole of it ends: a pipeline
// started by sh, not only sh. Qt 5 runs a virtual function in the child, Qt 6 a modifier that the process is given.
class GroupProcess : public QProcess
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
public:
    GroupProcess() { setChildProcessModifier([] { ::setpgid(0, 0); }); }
#else
protected:
    void setupChildProcess() override { ::setpgid(0, 0); }
#endif
};

} // namespace

ProcessResult runProgram(const QString &program, const QStringList &args, int timeoutMs, const QByteArray &input)
{
    ProcessResult result;
    GroupProcess process;
    process.start(program, args, QIODevice::ReadWrite);
    if (!process.waitForStarted(timeoutMs))
        return result;
    result.started = true;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        result.timedOut = true;
        if (process.processId() > 0)
            ::kill(-static_cast<pid_t>(process.processId()), SIGKILL);
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

QString findProgram(const QString &program)
{
    if (program.isEmpty())
        return QString();
    if (!program.contains(QLatin1Char('/')))
        return QStandardPaths::findExecutable(program);
    const QFileInfo file(program);
    return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
}

bool programExists(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

QString ProcessResult::failure(int timeoutMs) const
{
    if (!started)
        return QStringLiteral("программа не запустилась");
    if (timedOut)
        return QStringLiteral("нет ответа за %1 с").arg(timeoutMs / 1000);
    if (!finished)
        return QStringLiteral("программа завершилась аварийно");
    if (exitCode == 0)
        return QString();
    QByteArray first = err.trimmed();
    const int end = first.indexOf('\n');
    if (end >= 0)
        first.truncate(end);
    QString why = QStringLiteral("код завершения %1").arg(exitCode);
    if (!first.isEmpty())
        why += QStringLiteral(": ") + QString::fromUtf8(first).trimmed();
    return why;
}

#include "app/process.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <utility>
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

// The waits in progress on the application's thread, innermost last: what endHiddenCommands() ends.
struct Wait {
    GroupProcess *process;
    QEventLoop *loop;
    bool ended;
};
QList<Wait *> g_waits;

void endGroup(QProcess &process)
{
    if (process.processId() > 0)
        ::kill(-static_cast<pid_t>(process.processId()), SIGKILL);
}

bool turnsEventLoop()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

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
    if (turnsEventLoop()) {
        // The loop ends at the command's end, at the time limit or by endHiddenCommands(). It may also end early
        // because the application quits, which ends every loop: the rest of the time is then waited out blocking.
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop,
                         &QEventLoop::quit);
        Wait wait{&process, &loop, false};
        g_waits.append(&wait);
        limit.start(timeoutMs);
        if (process.state() != QProcess::NotRunning)
            loop.exec();
        g_waits.removeOne(&wait);
        result.stopped = wait.ended;
        if (!wait.ended && process.state() != QProcess::NotRunning && limit.isActive())
            process.waitForFinished(limit.remainingTime());
        result.finished = process.state() == QProcess::NotRunning && !wait.ended;
    } else {
        result.finished = process.waitForFinished(timeoutMs);
    }
    if (!result.finished) {
        result.timedOut = !result.stopped;
        endGroup(process);
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

void endHiddenCommands()
{
    for (Wait *wait : std::as_const(g_waits)) {
        wait->ended = true;
        endGroup(*wait->process);
        wait->loop->quit();
    }
}

bool waitingForHiddenCommand() { return !g_waits.isEmpty(); }

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
    if (stopped)
        return QStringLiteral("команда прервана: окно закрыто");
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

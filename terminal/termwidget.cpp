#include "terminal/termwidget.h"

#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include <cerrno>
#include <utility>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/ownprocesses.h"
#include "app/syspaths.h"
#include "terminal/termwidgetimpl.h"

TermWidget::TermWidget(const TerminalCommand &command, QWidget *parent) : QWidget(parent)
{
    terminal = new TermWidgetImpl(command, this);
    box = new QVBoxLayout;
    box->addWidget(terminal);
    setLayout(box);
    // The emulator reports no end for a program that a signal killed (an apt-get ended by the abort, by another
    // program or for want of memory), and its window would wait for it for good. The child is reaped as soon as it
    // ends, in the same turn of the event loop that reports a normal end: once it has been reaped, its end has been
    // reported unless the emulator kept it back. The watch asks a pidfd of the child whether it is still a child of
    // ours to wait for: unlike its number, which the system gives to another process once the child is reaped, the
    // pidfd names this child alone. A pidfd that cannot be had because the child has already gone (or one that came
    // to name another process, which is no child of ours) counts as the child reaped.
    //
    // The end is reported once nothing of the command's session runs any more, nor of the sessions an abort adds
    // (apt-get runs dpkg in a session of its own): a dpkg that an ended apt-get left behind still configures a
    // package, and the next step must not start before it has finished.
    const pid_t pid = terminal->getShellPID();
    sessions = {pid};
    auto *watch = new QTimer(this);
    const auto report = [this, watch] {
        if (reported)
            return;
        for (pid_t session : std::as_const(sessions))
            if (!OwnProcesses::inSession(session).isEmpty())
                return watch->start(Sys::TerminalWatchMs);
        reported = true;
        watch->stop();
        emit finished();
    };
    connect(terminal, &QTermWidget::finished, this, [this, report] {
        childGone = true;
        report();
    });
    if (pid <= 0)
        return;
    const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0 && errno != ESRCH)
        return; // a kernel without pidfds (before 5.3): the emulator's own report only
    connect(watch, &QTimer::timeout, this, [this, pidfd, report] {
        siginfo_t info = {};
        if (!childGone && pidfd >= 0 &&
            (::waitid(idtype_t(P_PIDFD), id_t(pidfd), &info, WEXITED | WNOHANG | WNOWAIT) == 0 || errno != ECHILD))
            return; // still running, or ended and not yet reaped
        childGone = true;
        report();
    });
    if (pidfd >= 0)
        connect(watch, &QObject::destroyed, [pidfd] { ::close(pidfd); });
    watch->start(Sys::TerminalWatchMs);
}

void TermWidget::awaitSessions(const QList<pid_t> &more)
{
    for (pid_t session : more)
        if (session > 0 && !sessions.contains(session))
            sessions.append(session);
}

void TermWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setPen(QPen(QBrush(QColor(0, 85, 130), Qt::SolidPattern), 15));
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

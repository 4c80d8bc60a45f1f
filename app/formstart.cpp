#include "app/formstart.h"

#include <QFileInfo>
#include <QTimeLine>
#include <QScopeGuard>
#include <QTimer>

#include "app/instancelock.h"
#include "app/linkstate.h"
#include "app/lockprobe.h"
#include "app/logline.h"
#include "app/messagebox.h"
#include "app/process.h"
#include "app/safefile.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "mainwindow/formmain.h"
#include "mainwindow/sourceslist.h"
#include "mainwindow/sourcesplan.h"

FormStart::FormStart(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/images/install.png")));
    setWindowTitle(QStringLiteral("          ЗАПУСК ПРОГРАММЫ"));
    insertImage();
    setProgressBar();
    inicialProg();
}

void FormStart::insertImage()
{
    labelImage->setPixmap(QPixmap(QStringLiteral(":/images/install.png")));
}

void FormStart::setProgressBar()
{
    progressBar->setRange(0, 100);
    progressBar->setStyleSheet(
        QStringLiteral("QProgressBar::chunk {background-color: #2a7bad;width: 12px;margin: 2px;}"));
}

void FormStart::startProgressBar()
{
    auto *timeLine = new QTimeLine(1500, this);
    timeLine->setFrameRange(0, 100);
    timeLine->start();
    connect(timeLine, &QTimeLine::frameChanged, progressBar, &QProgressBar::setValue);
    connect(timeLine, &QTimeLine::finished, timeLine, &QObject::deleteLater);
}

void FormStart::showStatus(const QString &text)
{
    progressBar->setFormat(text);
    startProgressBar();
}

void FormStart::writeLog(QString text) { appendLogLine(QString::fromLatin1(Sys::LogFile), text); }

void FormStart::inicialProg()
{
    showStatus(QStringLiteral("Инициализация программы..."));
    QTimer::singleShot(Timing::ms(1500), this, &FormStart::checkFileName);
    writeLog(QStringLiteral("Запуск программы"));
}

void FormStart::checkFileName()
{
    showStatus(QStringLiteral("Проверка наличия запущенной программы..."));
    // The flock is what really keeps a second instance out: the running one holds it for its whole life, entry
    // dialogs included, and nobody but root can create or remove its file. The file in /tmp only says so to others.
    QString error;
    const QString lockFile = QString::fromLatin1(Sys::LockFile);
    const InstanceLock::Result lock = InstanceLock::take(QString::fromLatin1(Sys::InstanceLockFile), &error);
    switch (InstanceLock::decide(lock, SafeFile::exists(lockFile))) {
    case InstanceLock::Start::RefuseRunning:
        writeLog(QStringLiteral("Запуск отклонён: программа уже запущена"));
        MessageBoxes::run(MessageBoxes::closeBox(
            QMessageBox::Warning,
            QStringLiteral("  Уже запущен один экземпляр программы. Закройте запущенную программу и запустите "
                           "программу снова."),
            QStringLiteral("<b><font color=#AA0000>  Эта проблема требует перезапуска программы. </font></b>"), 0,
            "FormStart"));
        close();
        return;
    case InstanceLock::Start::RefuseUnlocked:
        // Without the lock nothing would keep a second instance out: two would change the system at once.
        writeLog(QStringLiteral("Блокировка экземпляра не получена (%1): запуск прерван").arg(error));
        MessageBoxes::run(MessageBoxes::plainWarning(
            QStringLiteral("  Не удалось проверить, не запущена ли программа уже: блокировка не получена (%1). "
                           "Запуск программы прерван.").arg(error),
            QStringLiteral("Устраните причину и запустите программу снова."), "FormStart"));
        close();
        return;
    case InstanceLock::Start::ReplaceStale:
        // Left by a run that ended without its clean-up, or put there by someone else: it blocks nothing.
        writeLog(writeLockFile(&error)
                     ? QStringLiteral("Устаревший lock-файл %1 заменён: запущенной программы нет").arg(lockFile)
                     : QStringLiteral("Устаревший lock-файл %1 не заменён: %2").arg(lockFile, error));
        break;
    case InstanceLock::Start::Go:
        break;
    }
    QTimer::singleShot(Timing::ms(1500), this, &FormStart::checkInternet);
}

void FormStart::checkInternet()
{
    showStatus(QStringLiteral("Проверка подключения к Интернету..."));
    if (!anyLinkUp()) {
        MessageBoxes::run(MessageBoxes::closeBox(
            QMessageBox::Warning,
            QStringLiteral("  Отсутствует подключение к Интернету. Запуск программы будет прерван."),
            QStringLiteral("<b><font color=#AA0000>  Проверьте состояние интернет-подключения. </font></b>"), 0,
            "FormStart"));
        close();
        return;
    }
    QTimer::singleShot(Timing::ms(1500), this, SLOT(deleteAptLock()));
    writeLog(QStringLiteral("Подключение к Интернету - есть"));
}

void FormStart::deleteAptLock()
{
    showStatus(QStringLiteral("Удаление apt- и dpkg-блокировок ..."));
    QTimer::singleShot(Timing::ms(1500), this, &FormStart::addPartnerRepo);
    // apt and dpkg lock these files with fcntl: a file left behind is harmless, and one unlinked while held (found
    // free a moment ago or not) would let two package managers run at once. So the step only says what it finds.
    for (const char *lock : {Sys::DpkgLock, Sys::AptListsLock}) {
        const QString path = QString::fromLatin1(lock);
        writeLog(LockProbe::describe(path, LockProbe::probe(path)));
    }
}

void FormStart::addPartnerRepo()
{
    showStatus(QStringLiteral("Добавление партнер-репозитория ..."));
    // The event loop turns while a command runs: the next step is armed once this one's commands have ended.
    const auto next = qScopeGuard([this] { QTimer::singleShot(Timing::ms(1500), this, &FormStart::openLockFile); });
    const QString sources = QString::fromLatin1(Sys::SourcesList);
    if (!SafeFile::exists(sources))
        return;
    // A linked sources.list stays a link, and a FIFO is never read.
    QString why = SourcesList::fileProblem(sources);
    if (!why.isEmpty()) {
        writeLog(QStringLiteral("Партнер-репозиторий не подключен: ") + why);
        return;
    }
    const SourcesList::Edit edit = SourcesList::enablePartner(SourcesPlan::save(sources).bytes);
    if (!edit.present)
        return;
    // The partner entries stay enabled only when apt reads the sources with them and fetches them: a release whose
    // partner archive is gone would otherwise fail every refresh.
    {
        const SourcesPlan::Candidate whole(edit.content);
        SourcesPlan::aptTargets(whole.list, QString::fromLatin1(Sys::SourcesPartsDir), &why);
    }
    if (why.isEmpty()) {
        const SourcesPlan::Candidate alone(edit.changed.join(QLatin1Char('\n')).toUtf8() + '\n');
        why = SourcesPlan::fetchAlone(alone.list, alone.parts);
    }
    if (why.isEmpty())
        SafeFile::replace(sources, edit.content, &why);
    writeLog(why.isEmpty() ? QStringLiteral("Подключен партнер-репозиторий")
                           : QStringLiteral("Партнер-репозиторий не подключен: ") + why);
}

void FormStart::openLockFile()
{
    showStatus(QStringLiteral("Создание файла блокировки ..."));
    if (writeLockFile(nullptr))
        writeLog(QStringLiteral("Создан lock-файл"));
    QTimer::singleShot(Timing::ms(1600), this, &FormStart::stopProg);
}

bool FormStart::writeLockFile(QString *error)
{
    QByteArray pids = runProgram(QString::fromLatin1(Sys::Pidof), {QString::fromLatin1(Sys::OwnName)}).out;
    const int zero = pids.indexOf('\0');
    if (zero >= 0)
        pids.truncate(zero);
    // Created anew, never opened where it lies: a link (symbolic or hard) planted at this name in /tmp would
    // otherwise redirect the truncation and the write into another file.
    return SafeFile::createFresh(QString::fromLatin1(Sys::LockFile), pids, error);
}

void FormStart::stopProg()
{
    progressBar->setValue(0);
    progressBar->setFormat(QStringLiteral("Проверки завершены, закрытие окна ..."));
    writeLog(QStringLiteral("Проверки завершены"));
    QTimer::singleShot(Timing::ms(1000), this, &FormStart::closeFormStart);
}

bool FormStart::closeFormStart()
{
    close();
    auto *main = new FormMain();
    main->exec();
    return true;
}

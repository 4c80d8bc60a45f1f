#include "app/formstart.h"

#include <QFileInfo>
#include <QTimeLine>
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
    connect(timeLine, SIGNAL(frameChanged(int)), progressBar, SLOT(setValue(int)));
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
    QTimer::singleShot(Timing::ms(1500), this, SLOT(checkFileName()));
    writeLog(QStringLiteral("Запуск программы"));
}

void FormStart::checkFileName()
{
    showStatus(QStringLiteral("Проверка наличия запущенной программы..."));
    // The flock is what really keeps a second instance out: the running one holds it for its whole life, entry
    // dialogs included, and nobody but root can create or remove its file. While it is held elsewhere nothing is
    // removed, not even the lock file in /tmp, which is the running instance's.
    QString error;
    const InstanceLock::Result lock = InstanceLock::take(QString::fromLatin1(Sys::InstanceLockFile), &error);
    if (lock == InstanceLock::Failed)
        writeLog(QStringLiteral("Блокировка экземпляра не получена: ") + error);
    const bool running = lock == InstanceLock::HeldElsewhere;
    if (running || SafeFile::exists(QString::fromLatin1(Sys::LockFile))) {
        MessageBoxes::run(MessageBoxes::closeBox(
            QMessageBox::Warning,
            QStringLiteral("  Уже запущен один экземпляр программы. Закройте запущенную программу, блокирующий "
                           "файл: /tmp/zaviron.lock удаляется."),
            QStringLiteral("<b><font color=#AA0000>  Эта проблема требует перезапуска программы. </font></b>"), 0,
            "FormStart"));
        close();
        // With the flock ours, a file in /tmp is a stale one, left by an instance that has ended.
        if (!running)
            SafeFile::remove(QString::fromLatin1(Sys::LockFile));
        return;
    }
    QTimer::singleShot(Timing::ms(1500), this, SLOT(checkInternet()));
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
    QTimer::singleShot(Timing::ms(1500), this, SLOT(addPartnerRepo()));
    // A lock that dpkg or apt holds right now is theirs: removing it could corrupt the package database.
    for (const char *lock : {Sys::DpkgLock, Sys::AptListsLock}) {
        const QString path = QString::fromLatin1(lock);
        if (!SafeFile::exists(path))
            continue;
        if (LockProbe::isHeld(path) || !SafeFile::remove(path))
            return;
    }
    writeLog(QStringLiteral("Apt- и dpkg-блокировок удалены"));
}

void FormStart::addPartnerRepo()
{
    showStatus(QStringLiteral("Добавление партнер-репозитория ..."));
    QTimer::singleShot(Timing::ms(1500), this, SLOT(openLockFile()));
    const QString sources = QString::fromLatin1(Sys::SourcesList);
    if (!QFileInfo::exists(sources))
        return;
    runProgram(QStringLiteral("sed"), {QStringLiteral("-i"), QStringLiteral("/^# deb .*partner/ s/^# //"), sources});
    runProgram(QStringLiteral("sed"), {QStringLiteral("-i"), QStringLiteral("/^# deb-src .*partner/ s/^# //"), sources});
    writeLog(QStringLiteral("Подключен партнер-репозиторий"));
}

void FormStart::openLockFile()
{
    showStatus(QStringLiteral("Создание файла блокировки ..."));
    QTimer::singleShot(Timing::ms(1600), this, SLOT(stopProg()));
    QByteArray pids = runProgram(QString::fromLatin1(Sys::Pidof), {QString::fromLatin1(Sys::OwnName)}).out;
    const int zero = pids.indexOf('\0');
    if (zero >= 0)
        pids.truncate(zero);
    // Created anew, never opened where it lies: a link (symbolic or hard) planted at this name in /tmp would
    // otherwise redirect the truncation and the write into another file.
    if (SafeFile::createFresh(QString::fromLatin1(Sys::LockFile), pids))
        writeLog(QStringLiteral("Создан lock-файл"));
}

void FormStart::stopProg()
{
    progressBar->setValue(0);
    progressBar->setFormat(QStringLiteral("Проверки завершены, закрытие окна ..."));
    writeLog(QStringLiteral("Проверки завершены"));
    QTimer::singleShot(Timing::ms(1000), this, SLOT(closeFormStart()));
}

bool FormStart::closeFormStart()
{
    close();
    auto *main = new FormMain();
    main->exec();
    return true;
}

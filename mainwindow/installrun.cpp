#include "mainwindow/installrun.h"

InstallRun::Ending InstallRun::ending(int installed, int total, bool stopped)
{
    const QString count = QStringLiteral("установлено %1 из %2").arg(installed).arg(total);
    if (stopped)
        return {QStringLiteral("<font color=#c20000>Установка прервана пользователем. Результаты установки отражены в "
                               "таблице. </font>"),
                QStringLiteral("Установка прервана: ") + count + QLatin1Char('.'),
                QStringLiteral("Установка прервана пользователем: ") + count};
    if (installed < total)
        return {QStringLiteral("<font color=#c20000>Программа завершила свою работу. Установлены не все выбранные "
                               "программы. Результаты установки отражены в таблице. </font>"),
                QStringLiteral("Установка отмеченных программ завершена: ") + count + QLatin1Char('.'),
                QStringLiteral("Установка отмеченных программ завершена: ") + count};
    return {QStringLiteral("<font color=#0b7f6a>Программа завершила свою работу. Выполнена установка выбранных "
                           "программ. Результаты установки отражены в таблице. </font>"),
            QStringLiteral("Установка отмеченных программ выполнена!"),
            QStringLiteral("Выполнена установка отмеченных программ!")};
}

QString InstallRun::stoppedLabel(bool closing)
{
    return QStringLiteral("<font color=#c20000>Установка прервана: следующие программы устанавливаться не будут. "
                          "Программа дождётся, пока dpkg завершит начатое, и при необходимости восстановит его") +
           (closing ? QStringLiteral(", затем закроется. </font>") : QStringLiteral(". </font>"));
}

QString InstallRun::lockWait(const QString &path, const LockProbe::Finding &holder)
{
    const QString who = holder.pid > 0 ? QStringLiteral("процесс %1 (%2)").arg(holder.pid).arg(
                                             holder.name.isEmpty() ? QStringLiteral("имя неизвестно") : holder.name)
                                       : QStringLiteral("другой процесс");
    return QStringLiteral("Ждите... Установка ждёт, пока ") + who + QStringLiteral(" освободит блокировку ") + path +
           QStringLiteral("...");
}

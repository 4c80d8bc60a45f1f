#include "terminal/commandline.h"
#include "app/syspaths.h"

#include <QRegularExpression>

QStringList CommandLine::split(const QString &command)
{
    return command.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

QString CommandLine::header(const QString &command, const QString &instProg)
{
    if (command == QLatin1String(Sys::AptGetUpdate))
        return QStringLiteral("Ждите... Выполняется команда:  <b><font color=#AA0000>") + command +
               QStringLiteral(".</font></b>");
    return QStringLiteral("Идёт установка приложения:  <b><font color=#AA0000>") + instProg +
           QStringLiteral(".</font></b>");
}

QRect CommandLine::geometry(int desktopWidth, int desktopHeight)
{
    return QRect(desktopWidth / 2 - 296, desktopHeight / 2 - 210, 592, 496);
}

#include "terminal/commandline.h"
#include "app/syspaths.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace {

// The header is rich text: a name is shown as written, never read as markup.
QString emphasised(const QString &text)
{
    return QStringLiteral("<b><font color=#AA0000>") + text.toHtmlEscaped() + QStringLiteral(".</font></b>");
}

} // namespace

QString CommandLine::header(const QString &command, const QString &instProg)
{
    if (command == QLatin1String(Sys::AptGetUpdate) || command == QLatin1String(Sys::DpkgConfigure))
        return QStringLiteral("Ждите... Выполняется команда:  ") + emphasised(command);
    return QStringLiteral("Идёт установка приложения:  ") + emphasised(instProg);
}

QString CommandLine::stillRunningNote()
{
    return QStringLiteral("<br>Окно закроется само, когда команда завершится; ответьте на её вопросы здесь или "
                          "нажмите 'Прервать'.");
}

QString CommandLine::finishingNote()
{
    return QStringLiteral("<br>Установка прервана. Окно закроется само, когда завершатся все её процессы (dpkg "
                          "доводит начатое до конца).");
}

QString CommandLine::failedHeader(const QString &command)
{
    return QStringLiteral("Не удалось запустить команду:  ") + emphasised(command.simplified());
}

QString CommandLine::findProgram(const QString &program)
{
    if (program.isEmpty())
        return QString();
    if (!program.contains(QLatin1Char('/')))
        return QStandardPaths::findExecutable(program);
    const QFileInfo file(program);
    return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
}

QRect CommandLine::geometry(int desktopWidth, int desktopHeight)
{
    return QRect(desktopWidth / 2 - 296, desktopHeight / 2 - 210, 592, 496);
}

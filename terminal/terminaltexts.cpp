#include "terminal/terminaltexts.h"
#include "app/syspaths.h"


namespace {

// The header is rich text: a name is shown as written, never read as markup.
QString emphasised(const QString &text)
{
    return QStringLiteral("<b><font color=#AA0000>") + text.toHtmlEscaped() + QStringLiteral(".</font></b>");
}

} // namespace

QString TerminalTexts::header(const QString &command, const QString &instProg)
{
    if (command == QLatin1String(Sys::AptGetUpdate) || command == QLatin1String(Sys::DpkgConfigure))
        return QStringLiteral("Ждите... Выполняется команда:  ") + emphasised(command);
    return QStringLiteral("Идёт установка приложения:  ") + emphasised(instProg);
}

QString TerminalTexts::stillRunningNote()
{
    return QStringLiteral("<br>Окно закроется само, когда команда завершится; ответьте на её вопросы здесь или "
                          "нажмите 'Прервать'.");
}

QString TerminalTexts::finishingNote()
{
    return QStringLiteral("<br>Установка прервана. Окно закроется само, когда завершатся все её процессы (dpkg "
                          "доводит начатое до конца).");
}

QString TerminalTexts::failedHeader(const QString &command)
{
    return QStringLiteral("Не удалось запустить команду:  ") + emphasised(command.simplified());
}

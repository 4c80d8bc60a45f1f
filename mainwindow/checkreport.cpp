#include "mainwindow/checkreport.h"

QString CheckReport::updateQuestion(const QStringList &names)
{
    QStringList unique = names;
    unique.removeDuplicates();
    const QString joined = unique.join(QStringLiteral(", "));
    if (joined.isEmpty())
        return QStringLiteral("    Проверка списка программ не выявила необходимости обновления источников ПО. "
                              "Запустить всё же обновление данных о репозиториях или нет?");
    return QStringLiteral("    Для возможности установки <b><font color=#AA0000>") + joined.toHtmlEscaped() +
           QStringLiteral(" </font></b>требуется обновление источников ПО. Без этого их установка под вопросом. "
                          "Запустить обновление источников ПО?");
}

QString CheckReport::updateQuestionInformative()
{
    return QStringLiteral("    <b><font color=#AA0000>  При нажатии кнопки 'Нет' процесс будет продолжен без "
                          "обновления источников ПО. </font></b>");
}

QVector<int> CheckReport::failedAdded(const Workflow::Refresh &refresh, const QVector<Added> &added)
{
    QVector<int> failed;
    const bool unreadable = refresh.errors.contains("The list of sources could not be read");
    const QList<QByteArray> lines = refresh.errors.split('\n');
    for (int i = 0; i < added.size(); ++i) {
        bool named = unreadable && !added.at(i).uris.isEmpty();
        for (const QByteArray &line : lines)
            for (const QString &uri : added.at(i).uris)
                named = named || ((line.startsWith("W:") || line.startsWith("E:") || line.startsWith("Error:") ||
                                   line.startsWith("Warning:")) &&
                                  QString::fromUtf8(line).contains(uri));
        if (named)
            failed << i;
    }
    return failed;
}

QString CheckReport::refreshNote(const Workflow::Refresh &refresh, const QVector<Added> &added)
{
    QString note;
    QStringList named;
    if (refresh.status != 0) {
        note = refresh.status > 0 ? QStringLiteral("Обновление источников ПО (apt-get update) завершилось с ошибкой "
                                                   "(код %1).").arg(refresh.status)
                                  : QStringLiteral("Обновление источников ПО (apt-get update) не завершилось.");
        note += QStringLiteral(" Перед ним в систему добавлено:\n");
        for (const Added &a : added)
            named << a.text;
    } else {
        note = QStringLiteral("Обновление источников ПО (apt-get update) не смогло загрузить данные добавленных "
                              "репозиториев:\n");
        for (int i : failedAdded(refresh, added))
            named << added.at(i).text;
    }
    if (named.isEmpty())
        return QString();
    for (const QString &entry : named)
        note += QStringLiteral(" ") + entry + QLatin1Char('\n');
    return note + QStringLiteral("Если ошибка связана с ними, удалите их, иначе apt-get update будет и дальше "
                                 "завершаться с ошибкой.\n\n");
}

QString CheckReport::takenBackNote(const QStringList &texts, const QString &failure)
{
    QString note = QStringLiteral("Обновление источников ПО (apt-get update) не смогло прочитать или загрузить "
                                  "добавленное этой проверкой; оно убрано из системы:\n");
    for (const QString &text : texts)
        note += QStringLiteral(" ") + text + QLatin1Char('\n');
    return note + (failure.isEmpty() ? QStringLiteral("Повторное обновление источников ПО прошло без ошибок.\n\n")
                                     : QStringLiteral("Повторное обновление источников ПО: ") + failure +
                                           QStringLiteral("\n\n"));
}

QString CheckReport::summaryLine(const QString &errorLine)
{
    if (errorLine == QStringLiteral("E: Невозможно исправить ошибки, у вас отложены (held) битые пакеты."))
        return QStringLiteral("E: Пакеты для установки имеют неудовлетворённые зависимости.");
    return errorLine;
}

QString CheckReport::failureMessage(const QString &package, const QString &errorLine)
{
    return QStringLiteral("Установка ") + package + QStringLiteral(" невозможна:\n ") + errorLine;
}

#include "mainwindow/repocommands.h"

#include <QRegularExpression>
#include <QUrl>

#include "app/process.h"
#include "app/syspaths.h"

QStringList RepoCommands::ppaArgs(const QString &ppa)
{
    // Nobody can answer apt-add-repository's "Press [ENTER]" from a hidden command: it would wait out the time limit
    // and be ended before it adds anything.
    return {QStringLiteral("-y"), QStringLiteral("--"), ppa};
}

QStringList RepoCommands::keyPipeArgs(const QString &url)
{
    return {QStringLiteral("-c"), QString::fromLatin1(Sys::KeyPipeScript), QString::fromLatin1(Sys::Sh), url};
}

QStringList RepoCommands::keyDownloadArgs(const QString &url)
{
    // A server that does not answer ends the download after 20 s and one retry, not after wget's 15 minutes; one
    // that sends without end is cut off past the limit, so the download never fills the memory.
    return {QStringLiteral("-c"), QString::fromLatin1(Sys::KeyDownloadScript), QString::fromLatin1(Sys::Sh), url};
}

QString RepoCommands::keyDownloadFailure(const ProcessResult &download)
{
    if (!download.succeeded())
        return download.failure();
    if (download.out.size() > Sys::KeyMaxBytes)
        return QStringLiteral("загруженный файл больше %1 КиБ").arg(Sys::KeyMaxBytes / 1024);
    const QByteArray err = download.err.trimmed();
    const QByteArray status = err.mid(err.lastIndexOf('\n') + 1);
    if (status != "wget: 0")
        return status.startsWith("wget: ") ? QStringLiteral("wget: код завершения ") + QString::fromLatin1(status.mid(6))
                                           : QStringLiteral("wget не завершился");
    return QString();
}

namespace {

// apt waits for the package manager's lock (unattended upgrades often hold it for minutes after a start) and says
// in the terminal who holds it; a changed configuration file keeps the user's version instead of asking.
QStringList aptOptions()
{
    return {QStringLiteral("-o"), QString::fromLatin1(Sys::AptLockTimeout), QStringLiteral("-o"),
            QStringLiteral("Dpkg::Options::=--force-confdef"), QStringLiteral("-o"),
            QStringLiteral("Dpkg::Options::=--force-confold")};
}

} // namespace

TerminalCommand RepoCommands::updateCommand(const QString &statusFile)
{
    return {QString::fromLatin1(Sys::Sh),
            QStringList{QStringLiteral("-c"), QString::fromLatin1(Sys::StatusScript), statusFile} + aptOptions() +
                QStringList{QStringLiteral("update")},
            QString::fromLatin1(Sys::AptGetUpdate)};
}

QStringList RepoCommands::keyListArgs(const QString &homeDir)
{
    return {QStringLiteral("--batch"), QStringLiteral("--no-options"), QStringLiteral("--homedir"), homeDir,
            QStringLiteral("--show-keys"), QStringLiteral("--with-colons")};
}

bool RepoCommands::listsPublicKey(const QByteArray &colonListing)
{
    for (const QByteArray &line : colonListing.split('\n'))
        if (line.startsWith("pub:"))
            return true;
    return false;
}

QString RepoCommands::updateFailureNote(int exitStatus, const QStringList &added)
{
    if (exitStatus == 0 || added.isEmpty())
        return QString();
    QString note = exitStatus > 0 ? QStringLiteral("Обновление источников ПО (apt-get update) завершилось с ошибкой "
                                                   "(код %1).").arg(exitStatus)
                                  : QStringLiteral("Обновление источников ПО (apt-get update) не завершилось.");
    note += QStringLiteral(" Перед ним в систему добавлено:\n");
    for (const QString &entry : added)
        note += QStringLiteral(" ") + entry + QLatin1Char('\n');
    return note + QStringLiteral("Если ошибка связана с ними, удалите их, иначе apt-get update будет и дальше "
                                 "завершаться с ошибкой.\n\n");
}

TerminalCommand RepoCommands::installCommand(const QString &package)
{
    // No --force-yes: a package apt cannot authenticate fails in the terminal instead of being installed anyway.
    return {QString::fromLatin1(Sys::AptGet),
            QStringList{QStringLiteral("-y")} + aptOptions() +
                QStringList{QStringLiteral("install"), QStringLiteral("--"), package},
            QString()};
}

QStringList RepoCommands::simulateArgs(const QStringList &packages)
{
    return QStringList{QStringLiteral("install"), QStringLiteral("-s"), QStringLiteral("-qq"), QStringLiteral("-y"),
                       QStringLiteral("--")} +
           packages;
}

QString RepoCommands::simulationFailure(const ProcessResult &simulation)
{
    if (!simulation.started)
        return QStringLiteral("E: Не удалось запустить %1.").arg(QString::fromLatin1(Sys::AptGet));
    if (simulation.timedOut)
        return QStringLiteral("E: нет ответа за %1 с").arg(Sys::CommandTimeoutMs / 1000);
    if (simulation.succeeded())
        return QString();
    const QList<QByteArray> lines = simulation.err.split('\n');
    for (const QByteArray &line : lines)
        if (line.startsWith("E:"))
            return QString::fromUtf8(line.trimmed());
    return simulation.failure();
}

RepoCommands::KeyKind RepoCommands::keyKind(const QByteArray &data)
{
    int start = 0;
    while (start < data.size() && (data.at(start) == ' ' || data.at(start) == '\t' || data.at(start) == '\r' ||
                                   data.at(start) == '\n'))
        ++start;
    if (data.mid(start).startsWith("-----BEGIN PGP PUBLIC KEY BLOCK-----"))
        return ArmoredKey;
    if (data.isEmpty())
        return NotAKey;
    // A binary key starts with a public-key packet: tag 6 in the old format (0x98 to 0x9b) or the new one (0xc6).
    const auto first = static_cast<unsigned char>(data.at(0));
    if ((first & 0xfc) == 0x98 || first == 0xc6)
        return BinaryKey;
    return NotAKey;
}

QString RepoCommands::keyFileName(const QString &url, KeyKind kind)
{
    if (kind == NotAKey)
        return QString();
    const QUrl parsed(url);
    QString host = parsed.host();
    QString file = parsed.fileName();
    static const QRegularExpression keyExtension(QStringLiteral("\\.(asc|gpg|key|pub)$"),
                                                 QRegularExpression::CaseInsensitiveOption);
    file.remove(keyExtension);
    if (host.isEmpty())
        host = QStringLiteral("key");
    if (file.isEmpty())
        file = QStringLiteral("key");
    static const QRegularExpression unusable(QStringLiteral("[^A-Za-z0-9_.-]"));
    QString name = host + QLatin1Char('-') + file;
    name.replace(unusable, QStringLiteral("_"));
    // The prefix marks the file as this program's, apart from the keys that packages install.
    return QLatin1String("zaviron-") + name + (kind == ArmoredKey ? QLatin1String(".asc") : QLatin1String(".gpg"));
}

QByteArray RepoCommands::editSourcesList(const QByteArray &content, const QString &line)
{
    const QByteArray wanted = line.toUtf8();
    QList<QByteArray> lines = content.split('\n');
    // The piece after the last line break is a last line without its line break, or nothing.
    if (lines.last().isEmpty())
        lines.removeLast();
    QByteArray result;
    result.reserve(content.size() + wanted.size() + 2);
    for (const QByteArray &old : lines) {
        if (old.contains(wanted))
            continue;
        result += old;
        result += '\n';
    }
    result += wanted;
    result += '\n';
    return result;
}

QString RepoCommands::updateQuestion(const QStringList &names)
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

QString RepoCommands::updateQuestionInformative()
{
    return QStringLiteral("    <b><font color=#AA0000>  При нажатии кнопки 'Нет' процесс будет продолжен без "
                          "обновления источников ПО. </font></b>");
}

QString RepoCommands::summaryLine(const QString &errorLine)
{
    if (errorLine == QStringLiteral("E: Невозможно исправить ошибки, у вас отложены (held) битые пакеты."))
        return QStringLiteral("E: Пакеты для установки имеют неудовлетворённые зависимости.");
    return errorLine;
}

QString RepoCommands::failureMessage(const QString &package, const QString &errorLine)
{
    return QStringLiteral("Установка ") + package + QStringLiteral(" невозможна:\n ") + errorLine;
}

#include "mainwindow/signingkeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include "app/safefile.h"
#include "app/syspaths.h"
#include "catalogue/fieldrules.h"

namespace {
const char *const Begin = "-----BEGIN PGP PUBLIC KEY BLOCK-----";
const char *const End = "-----END PGP PUBLIC KEY BLOCK-----";
} // namespace

QStringList SigningKeys::downloadArgs(const QString &url)
{
    return {QStringLiteral("-c"), QString::fromLatin1(Sys::KeyDownloadScript), QString::fromLatin1(Sys::Sh), url};
}

QString SigningKeys::downloadFailure(const ProcessResult &download)
{
    if (!download.succeeded())
        return download.failure();
    if (download.out.size() > Sys::KeyMaxBytes)
        return QStringLiteral("загруженный файл больше %1 КиБ").arg(Sys::KeyMaxBytes / 1024);
    const QByteArray err = download.err.trimmed();
    const QByteArray status = err.mid(err.lastIndexOf('\n') + 1);
    if (status == "curl: 0")
        return QString();
    if (!status.startsWith("curl: "))
        return QStringLiteral("curl не завершился");
    // curl tells what went wrong in its "curl: (N) ..." line; advice may follow it.
    const QByteArray said = err.left(err.lastIndexOf('\n')).trimmed();
    QByteArray telling = said.mid(said.lastIndexOf('\n') + 1);
    for (const QByteArray &line : said.split('\n'))
        if (line.startsWith("curl: ("))
            telling = line.trimmed();
    return QStringLiteral("curl: код завершения ") + QString::fromLatin1(status.mid(6)) +
           (telling.isEmpty() ? QString() : QStringLiteral(": ") + QString::fromUtf8(telling));
}

QStringList SigningKeys::listArgs(const QString &homeDir)
{
    return {QStringLiteral("--batch"), QStringLiteral("--no-options"), QStringLiteral("--homedir"), homeDir,
            QStringLiteral("--show-keys"), QStringLiteral("--with-colons")};
}

QStringList SigningKeys::dearmorArgs(const QString &homeDir)
{
    return {QStringLiteral("--batch"), QStringLiteral("--no-options"), QStringLiteral("--homedir"), homeDir,
            QStringLiteral("--dearmor")};
}

QString SigningKeys::keyProblem(const QByteArray &data, const ProcessResult &listing)
{
    const QString notAKey = QStringLiteral("загруженный файл не является ключом");
    const QByteArray text = data.trimmed();
    if (text.isEmpty())
        return notAKey;
    if (text.startsWith('-')) {
        // gpg reads the first armored block and ignores what follows it: what follows is refused here.
        if (!text.startsWith(Begin) || !text.endsWith(End) || text.count(Begin) != 1 || text.count(End) != 1)
            return QStringLiteral("загруженный файл не является одним ключом");
    } else {
        // A binary key starts with a public-key packet: tag 6 in the old format (0x98 to 0x9b) or the new one (0xc6).
        const auto first = static_cast<unsigned char>(data.at(0));
        if ((first & 0xfc) != 0x98 && first != 0xc6)
            return notAKey;
    }
    if (!listing.succeeded())
        return notAKey;
    int publicKeys = 0;
    for (const QByteArray &line : listing.out.split('\n')) {
        if (line.startsWith("sec:") || line.startsWith("ssb:"))
            return QStringLiteral("загруженный файл содержит секретный ключ");
        if (line.startsWith("pub:"))
            ++publicKeys;
    }
    if (publicKeys != 1)
        return publicKeys == 0 ? notAKey : QStringLiteral("загруженный файл содержит %1 ключей").arg(publicKeys);
    return QString();
}

QString SigningKeys::fileName(const QString &url)
{
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
    return QLatin1String("zaviron-") + name + QLatin1String(".gpg");
}

SigningKeys::Stored SigningKeys::storeAt(const QString &path, const QByteArray &key)
{
    Stored stored;
    stored.path = path;
    const QString dir = QFileInfo(path).path();
    if (!QDir().mkpath(dir) || !QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                             QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                             QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                             QFileDevice::ExeOther)) {
        stored.failure = QStringLiteral("не удалось создать папку %1").arg(dir);
        return stored;
    }
    QFile existing(path);
    if (SafeFile::exists(path) && existing.open(QIODevice::ReadOnly) && existing.readAll() == key) {
        stored.already = true;
        return stored;
    }
    // A vendor that rotates its key serves the new one at the same address: it takes the old one's place, whole.
    SafeFile::replace(path, key, &stored.failure);
    return stored;
}

QByteArray SigningKeys::key(const QString &url, QString *failure)
{
    *failure = FieldRules::keyUrlProblem(url);
    if (!failure->isEmpty())
        return QByteArray();
    const ProcessResult download = runProgram(QString::fromLatin1(Sys::Sh), downloadArgs(url));
    *failure = downloadFailure(download);
    if (!failure->isEmpty())
        return QByteArray();
    // gpg reads the download in a home of its own: what only starts like a key is not taken.
    QTemporaryDir home;
    const QString gpg = QString::fromLatin1(Sys::Gpg);
    *failure = home.isValid() ? keyProblem(download.out, runProgram(gpg, listArgs(home.path()), Sys::CommandTimeoutMs,
                                                                    download.out))
                              : QStringLiteral("нет временной папки для gpg");
    if (!failure->isEmpty())
        return QByteArray();
    if (!download.out.trimmed().startsWith('-'))
        return download.out;
    const ProcessResult binary = runProgram(gpg, dearmorArgs(home.path()), Sys::CommandTimeoutMs, download.out);
    if (!binary.succeeded() || binary.out.isEmpty())
        *failure = QStringLiteral("gpg не смог перевести ключ в двоичный вид: ") + binary.failure();
    return failure->isEmpty() ? binary.out : QByteArray();
}

SigningKeys::Stored SigningKeys::fetch(const QString &url, const QString &path)
{
    Stored stored;
    const QByteArray binary = key(url, &stored.failure);
    return stored.failure.isEmpty() ? storeAt(path, binary) : stored;
}

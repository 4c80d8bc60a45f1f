#include "app/logline.h"
#include "app/safefile.h"

QString formatLogLine(const QDateTime &when, const QString &message)
{
    return QLatin1String("[") + when.toString(QStringLiteral("dd.MM.yyyy ")) + when.toString(QStringLiteral("hh:mm:ss")) +
           QLatin1String("]  ") + message + QLatin1String("\n");
}

bool appendLogLine(const QString &path, const QString &message)
{
    return SafeFile::write(path, formatLogLine(QDateTime::currentDateTime(), message).toUtf8(), SafeFile::Append);
}

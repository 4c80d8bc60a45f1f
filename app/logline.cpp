#include "app/logline.h"
#include "app/safefile.h"

QString formatLogLine(const QDateTime &when, const QString &message)
{
    // A message may carry a catalogue field. Only a line that starts with its time stamp begins an entry, so every
    // further line of a message starts with a blank, and a carriage return (which would let a terminal overwrite
    // the line on screen) is written as the two characters \r.
    QString text;
    text.reserve(message.size());
    for (int i = 0; i < message.size(); ++i) {
        const QChar c = message.at(i);
        if (c == QLatin1Char('\r'))
            text += QLatin1String("\\r");
        else
            text += c;
        if (c == QLatin1Char('\n') && (i + 1 == message.size() || message.at(i + 1) != QLatin1Char(' ')))
            text += QLatin1Char(' ');
    }
    return QLatin1String("[") + when.toString(QStringLiteral("dd.MM.yyyy ")) + when.toString(QStringLiteral("hh:mm:ss")) +
           QLatin1String("]  ") + text + QLatin1String("\n");
}

bool appendLogLine(const QString &path, const QString &message)
{
    return SafeFile::write(path, formatLogLine(QDateTime::currentDateTime(), message).toUtf8(), SafeFile::Append);
}

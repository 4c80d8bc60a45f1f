#include "app/logline.h"
#include "app/safefile.h"

QString formatLogLine(const QDateTime &when, const QString &message)
{
    // A message may carry a catalogue field or what a program said. Only a line that starts with its time stamp
    // begins an entry, so every further line of a message starts with a blank. Nothing of a message may act on the
    // terminal that shows the log: every other control character (C0, DEL, C1 such as CSI or NEL) is written as \xHH
    // and the Unicode line and paragraph separators as \uHHHH. The tab stays: it only moves on, over nothing. A
    // backslash is written twice, so an escape in the log always comes from the program, never from the message.
    QString text;
    text.reserve(message.size());
    for (int i = 0; i < message.size(); ++i) {
        const ushort c = message.at(i).unicode();
        if (c == '\\')
            text += QLatin1String("\\\\");
        else if ((c < 0x20 && c != '\n' && c != '\t') || (c >= 0x7f && c <= 0x9f))
            text += QLatin1String("\\x") + QString::number(c, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else if (c == 0x2028 || c == 0x2029)
            text += QLatin1String("\\u") + QString::number(c, 16).toUpper();
        else
            text += QChar(c);
        if (c == '\n' && (i + 1 == message.size() || message.at(i + 1) != QLatin1Char(' ')))
            text += QLatin1Char(' ');
    }
    return QLatin1String("[") + when.toString(QStringLiteral("dd.MM.yyyy ")) + when.toString(QStringLiteral("hh:mm:ss")) +
           QLatin1String("]  ") + text + QLatin1String("\n");
}

bool appendLogLine(const QString &path, const QString &message)
{
    return SafeFile::write(path, formatLogLine(QDateTime::currentDateTime(), message).toUtf8(), SafeFile::Append);
}

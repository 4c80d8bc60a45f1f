#include "mainwindow/sourceslist.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "app/safefile.h"

namespace {
QByteArray collapsed(const QByteArray &line) { return line.simplified(); }
} // namespace

SourcesList::Edit SourcesList::addEntry(const QByteArray &content, const QString &line)
{
    Edit edit;
    const QByteArray wanted = line.toUtf8();
    QList<QByteArray> lines = content.split('\n');
    // The piece after the last line break is a last line without its line break, or nothing.
    if (lines.last().isEmpty())
        lines.removeLast();
    // Every line stays as the user wrote it, a second copy of the entry too: only a new copy is never written.
    for (const QByteArray &old : lines) {
        edit.present = edit.present || collapsed(old) == collapsed(wanted);
        edit.content += old + '\n';
    }
    if (!edit.present)
        edit.content += wanted + '\n';
    return edit;
}

QByteArray SourcesList::removeEntry(const QByteArray &content, const QString &line)
{
    QByteArray result;
    const QByteArray wanted = collapsed(line.toUtf8());
    for (const QByteArray &old : content.split('\n'))
        if (collapsed(old) != wanted)
            result += old + '\n';
    result.chop(1);
    return result;
}

QString SourcesList::fileProblem(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? QString() : QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("%1 является символической ссылкой: файл, на который она указывает, не изменяется").arg(path);
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("%1 не является обычным файлом").arg(path);
    return QString();
}

SourcesList::Edit SourcesList::enablePartner(const QByteArray &content)
{
    // Only the partner entries as the distribution ships them, commented: never a line with options of its own.
    static const QRegularExpression shipped(QStringLiteral(
        "^# (deb|deb-src) http://archive\\.canonical\\.com/ubuntu/? [a-z]+ partner[ \\t]*$"));
    Edit edit;
    const QList<QByteArray> lines = content.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        const bool cr = line.endsWith('\r');
        if (shipped.match(QString::fromUtf8(cr ? line.chopped(1) : line)).hasMatch()) {
            line = line.mid(2);
            edit.changed << QString::fromUtf8(line).trimmed();
        }
        edit.content += line + (i + 1 < lines.size() ? "\n" : "");
    }
    edit.present = !edit.changed.isEmpty();
    return edit;
}

SourcesList::Added SourcesList::add(const QString &path, const QString &line)
{
    Added added;
    QByteArray content;
    // A FIFO would hold the read for good, a device never ends; a link's target is not ours to rewrite.
    added.why = fileProblem(path);
    if (!added.why.isEmpty())
        return added;
    if (SafeFile::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            added.why = file.errorString();
            return added;
        }
        content = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            added.why = file.errorString();
            return added;
        }
    }
    added.edit = addEntry(content, line);
    added.ok = added.edit.content == content || SafeFile::replace(path, added.edit.content, &added.why);
    return added;
}

QString SourcesList::uriOf(const QString &line)
{
    QStringList words = line.simplified().split(QLatin1Char(' '));
    if (words.size() > 1 && words.at(1).startsWith(QLatin1Char('['))) {
        while (words.size() > 1 && !words.at(1).endsWith(QLatin1Char(']')))
            words.removeAt(1);
        words.removeAt(1);
    }
    return words.size() > 1 ? words.at(1) : QString();
}

QStringList SourcesList::urisIn(const QString &path)
{
    QStringList uris;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return uris;
    for (const QByteArray &raw : file.read(1024 * 1024).split('\n')) {
        const QString line = QString::fromUtf8(raw).simplified();
        if (line.startsWith(QLatin1String("deb")))
            uris << uriOf(line);
        else if (line.startsWith(QLatin1String("URIs:"), Qt::CaseInsensitive))
            uris << line.mid(5).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    uris.removeAll(QString());
    return uris;
}

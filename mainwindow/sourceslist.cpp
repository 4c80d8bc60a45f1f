#include "mainwindow/sourceslist.h"

#include <QFile>

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
    for (const QByteArray &old : lines) {
        if (collapsed(old) == collapsed(wanted)) {
            if (edit.present) {
                edit.removed << QString::fromUtf8(old);
                continue;
            }
            edit.present = true;
        }
        edit.content += old + '\n';
    }
    if (!edit.present)
        edit.content += wanted + '\n';
    return edit;
}

SourcesList::Added SourcesList::add(const QString &path, const QString &line)
{
    Added added;
    QByteArray content;
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

#include "tests/support/support.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QTimer>

#include "app/messagebox.h"
#include "app/syspaths.h"

QByteArray Support::readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool Support::writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size() && f.flush();
}

QString Support::logText()
{
    QFile f(QString::fromLatin1(Sys::LogFile));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

CatalogueEntry Support::entry(const QString &title, const QString &package, const QString &ppa, const QString &key,
                              const QString &sourcesLine)
{
    return CatalogueEntry::fromFields(
        {title, QStringLiteral("описание ") + title, package, ppa, key, sourcesLine});
}

Support::WorkDir::WorkDir() : previous(QDir::currentPath())
{
    QDir::setCurrent(dir.path());
}

Support::WorkDir::~WorkDir()
{
    QDir::setCurrent(previous);
}

bool Support::WorkDir::writeCatalogue(const QVector<CatalogueEntry> &entries) const
{
    return CatalogueCodec::saveFile(dir.path() + QStringLiteral("/dataSoftware.db"), entries);
}

Support::Boxes::Boxes()
{
    MessageBoxes::setAnswerer([this](QMessageBox *box) {
        shown << box->text() + QLatin1Char('|') + box->informativeText();
        const QMessageBox::StandardButton answer =
            (box->standardButtons() & QMessageBox::Yes) ? (answerYes ? QMessageBox::Yes : QMessageBox::No)
                                                        : QMessageBox::Close;
        if (!reallyRun)
            return int(answer);
        QTimer::singleShot(0, box, [box, answer] {
            if (QAbstractButton *b = box->button(answer))
                b->click();
        });
        return box->exec();
    });
}

Support::Boxes::~Boxes()
{
    MessageBoxes::setAnswerer(nullptr);
}

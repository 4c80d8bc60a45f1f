// The catalogue file and its other forms: the readable text kept in version control, and an Ansible playbook that
// brings the same programs to many machines. Only arguments and files here; the forms are in the core library.
#include "catalogue/catalogueaccess.h"
#include "catalogue/cataloguetext.h"
#include "catalogue/playbook.h"
#include "mainwindow/signingkeys.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

const char *const Usage = "usage: zaviron-catalogue to-db TEXT DB\n"
                          "       zaviron-catalogue to-text DB\n"
                          "       zaviron-catalogue to-ansible DB [--only PACKAGE...]\n"
                          "       zaviron-catalogue --help\n";

const char *const Help =
    "\n"
    "  to-db TEXT DB      builds the catalogue file DB from its text form TEXT\n"
    "  to-text DB         prints the text form of the catalogue file DB\n"
    "  to-ansible DB      prints an Ansible playbook that installs the catalogue's programs, with their PPAs,\n"
    "                     signing keys and sources lines, on every host of an inventory; each host gets what it\n"
    "                     can and ends failed naming what it could not. The keys are fetched now (https only,\n"
    "                     one public key each) and carried in the playbook; an entry whose key cannot be had is\n"
    "                     left out, with a comment:\n"
    "                       zaviron-catalogue to-ansible dataSoftware.db > playbook.yml\n"
    "                       ansible-playbook -i hosts.ini playbook.yml\n"
    "    --only PACKAGE...  only the entries that install these packages\n"
    "\n"
    "Exit status: 0 done, 1 bad input (the message names the file and the entry), 2 wrong usage.\n";

int fail(const QString &message)
{
    std::fprintf(stderr, "zaviron-catalogue: %s\n", qPrintable(message));
    return 1;
}

int usage()
{
    std::fputs(Usage, stderr);
    return 2;
}

// The whole catalogue file, or a message: a damaged file is never passed on as if it were whole.
bool readCatalogue(const QString &path, QVector<CatalogueEntry> *entries, QString *message)
{
    QString error;
    bool complete = true;
    if (!CatalogueAccess::read(path, entries, &error, &complete)) {
        *message = QStringLiteral("%1: cannot read: %2").arg(path, error);
        return false;
    }
    if (!complete) {
        const int intact = entries->size() - 1;
        *message = intact > 0
                       ? QStringLiteral("%1: damaged after entry %2, the last readable one").arg(path).arg(intact)
                       : QStringLiteral("%1: damaged, not even entry 1 can be read").arg(path);
        return false;
    }
    return true;
}

int print(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
        std::fflush(stdout) != 0)
        return fail(QStringLiteral("cannot write the standard output"));
    return 0;
}

int toDb(const QString &textPath, const QString &dbPath)
{
    QFile source(textPath);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: cannot read: %2").arg(textPath, source.errorString()));
    QVector<CatalogueEntry> entries;
    QString error;
    if (!CatalogueText::parse(QString::fromUtf8(source.readAll()), &entries, &error))
        return fail(QStringLiteral("%1: %2").arg(textPath, error));
    if (!CatalogueAccess::write(dbPath, entries, &error))
        return fail(QStringLiteral("%1: cannot write: %2").arg(dbPath, error));
    std::printf("%d entries written to %s\n", int(entries.size()), qPrintable(dbPath));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString command = args.value(0);
    if (args.size() == 1 && (command == QLatin1String("--help") || command == QLatin1String("-h"))) {
        std::fputs(Usage, stdout);
        std::fputs(Help, stdout);
        return 0;
    }
    if (command == QLatin1String("to-db") && args.size() == 3)
        return toDb(args.at(1), args.at(2));

    QStringList only;
    if (command == QLatin1String("to-ansible") && args.size() > 2) {
        if (args.at(2) != QLatin1String("--only") || args.size() == 3)
            return usage();
        only = args.mid(3);
    } else if ((command != QLatin1String("to-text") && command != QLatin1String("to-ansible")) || args.size() != 2)
        return usage();

    QVector<CatalogueEntry> entries;
    QString message;
    if (!readCatalogue(args.at(1), &entries, &message))
        return fail(message);
    if (command == QLatin1String("to-text"))
        return print(CatalogueText::format(entries));
    QStringList unmatched;
    const QString playbook = Playbook::generate(entries, only, &unmatched, SigningKeys::key);
    if (!unmatched.isEmpty())
        return fail(QStringLiteral("%1: no entry installs %2").arg(args.at(1), unmatched.join(QLatin1String(", "))));
    return print(playbook);
}

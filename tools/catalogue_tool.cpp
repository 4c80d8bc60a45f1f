// Builds a catalogue file from its readable text form: zaviron-catalogue SOURCE.txt OUTPUT.db
#include "catalogue/cataloguetext.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: zaviron-catalogue SOURCE.txt OUTPUT.db\n");
        return 2;
    }
    QFile source(args.at(1));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    QVector<CatalogueEntry> entries;
    QString error;
    if (!CatalogueText::parse(QString::fromUtf8(source.readAll()), &entries, &error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args.at(1)), qPrintable(error));
        return 1;
    }
    if (!CatalogueCodec::saveFile(args.at(2), entries)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    std::printf("%d entries written to %s\n", entries.size(), qPrintable(args.at(2)));
    return 0;
}

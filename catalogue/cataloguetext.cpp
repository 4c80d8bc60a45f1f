#include "catalogue/cataloguetext.h"

bool CatalogueText::parse(const QString &text, QVector<CatalogueEntry> *entries, QString *error)
{
    static const QStringList keys = {QStringLiteral("Title"),     QStringLiteral("Description"),
                                     QStringLiteral("InstallTitle"), QStringLiteral("PPA"),
                                     QStringLiteral("GetAptKey"), QStringLiteral("AptListEntry")};
    entries->clear();
    QStringList fields;
    bool open = false;
    auto flush = [&]() {
        if (open)
            entries->append(CatalogueEntry::fromFields(fields));
        fields = QVector<QString>(keys.size()).toList();
        open = false;
    };
    flush();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const QString &line = lines.at(n);
        if (line.trimmed().isEmpty()) {
            flush();
            continue;
        }
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const int colon = line.indexOf(QLatin1Char(':'));
        const int key = colon < 0 ? -1 : keys.indexOf(line.left(colon));
        if (key < 0) {
            if (error)
                *error = QStringLiteral("line %1: expected one of %2: \"%3\"").arg(n + 1).arg(keys.join(", "), line);
            return false;
        }
        QString value = line.mid(colon + 1);
        if (value.startsWith(QLatin1Char(' ')))
            value.remove(0, 1);
        fields[key] = value;
        open = true;
    }
    flush();
    return true;
}

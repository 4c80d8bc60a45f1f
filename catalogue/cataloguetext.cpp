#include "catalogue/cataloguetext.h"

namespace {

const QStringList &keys() { return CatalogueEntry::names(); }

// Characters that stay as they are inside a quoted value; a surrogate only as half of a pair.
bool isPlain(const QString &s, int i)
{
    const ushort c = s.at(i).unicode();
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == '"' || c == '\\')
        return false;
    if (c == 0x2028 || c == 0x2029 || c == 0xfeff || QChar::isNonCharacter(c))
        return false;
    if (QChar::isHighSurrogate(c))
        return i + 1 < s.size() && s.at(i + 1).isLowSurrogate();
    if (QChar::isLowSurrogate(c))
        return i > 0 && s.at(i - 1).isHighSurrogate();
    return true;
}

// Whether a plain "Key: value" line would give the value back as it is.
bool readsBackPlain(const QString &value)
{
    if (value.isEmpty())
        return true;
    if (value.front() == QLatin1Char('"') || value.front().isSpace() || value.back().isSpace())
        return false;
    // Quotes and backslashes after the first character are plain text there.
    for (int i = 0; i < value.size(); ++i)
        if (!isPlain(value, i) && value.at(i) != QLatin1Char('"') && value.at(i) != QLatin1Char('\\'))
            return false;
    return true;
}

// Reads the quoted value that starts at text[0]; false with *why when it is not one.
bool unquote(const QString &text, QString *value, QString *why)
{
    value->clear();
    int i = 1;
    for (; i < text.size() && text.at(i) != QLatin1Char('"'); ++i) {
        if (text.at(i) != QLatin1Char('\\')) {
            value->append(text.at(i));
            continue;
        }
        const QChar e = ++i < text.size() ? text.at(i) : QChar();
        bool ok = true;
        if (e == QLatin1Char('n'))
            value->append(QLatin1Char('\n'));
        else if (e == QLatin1Char('r'))
            value->append(QLatin1Char('\r'));
        else if (e == QLatin1Char('t'))
            value->append(QLatin1Char('\t'));
        else if (e == QLatin1Char('"') || e == QLatin1Char('\\'))
            value->append(e);
        else if (e == QLatin1Char('u') && i + 4 < text.size()) {
            ushort code = 0;
            for (int d = 1; d <= 4 && ok; ++d) {
                const int digit = QStringLiteral("0123456789abcdef").indexOf(text.at(i + d), 0, Qt::CaseInsensitive);
                ok = digit >= 0;
                code = static_cast<ushort>(code * 16 + digit);
            }
            value->append(QChar(code));
            i += 4;
        } else
            ok = false;
        if (!ok) {
            *why = QStringLiteral("unknown escape in a quoted value");
            return false;
        }
    }
    if (i >= text.size()) {
        *why = QStringLiteral("a quoted value without its closing quote");
        return false;
    }
    if (!QStringView(text).mid(i + 1).trimmed().isEmpty()) {
        *why = QStringLiteral("text after the closing quote");
        return false;
    }
    return true;
}

} // namespace

QString CatalogueText::quoted(const QString &value)
{
    QString out(QLatin1Char('"'));
    out.reserve(value.size() + 2);
    for (int i = 0; i < value.size(); ++i) {
        const ushort c = value.at(i).unicode();
        if (isPlain(value, i))
            out.append(value.at(i));
        else if (c == '"' || c == '\\')
            out.append(QLatin1Char('\\')).append(value.at(i));
        else if (c == '\n')
            out.append(QLatin1String("\\n"));
        else if (c == '\r')
            out.append(QLatin1String("\\r"));
        else if (c == '\t')
            out.append(QLatin1String("\\t"));
        else
            out.append(QLatin1String("\\u"))
                .append(QString::number(c, 16).toUpper().rightJustified(4, QLatin1Char('0')));
    }
    return out.append(QLatin1Char('"'));
}

QString CatalogueText::format(const QVector<CatalogueEntry> &entries)
{
    QString out = QStringLiteral("# zaviron catalogue, %1 entries: one \"Key: value\" line per field, a blank line "
                                 "between entries;\n# a value in double quotes is read with the escapes \\\" \\\\ "
                                 "\\n \\r \\t \\uXXXX.\n")
                      .arg(entries.size());
    for (const CatalogueEntry &entry : entries) {
        out.append(QLatin1Char('\n'));
        const QStringList fields = entry.fields();
        for (int k = 0; k < fields.size(); ++k) {
            const QString &value = fields.at(k);
            // The title always, so that an entry of empty fields still makes a line.
            if (value.isEmpty() && k > 0)
                continue;
            out.append(keys().at(k)).append(QLatin1Char(':'));
            if (!value.isEmpty())
                out.append(QLatin1Char(' ')).append(readsBackPlain(value) ? value : quoted(value));
            out.append(QLatin1Char('\n'));
        }
    }
    return out;
}

bool CatalogueText::parse(const QString &text, QVector<CatalogueEntry> *entries, QString *error)
{
    entries->clear();
    QStringList fields;
    QVector<int> given; // the line of each key in this entry, 0 while it has none
    bool open = false;
    auto flush = [&]() {
        if (open)
            entries->append(CatalogueEntry::fromFields(fields));
        fields = QVector<QString>(keys().size()).toList();
        given = QVector<int>(keys().size(), 0);
        open = false;
    };
    flush();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n);
        // CR LF is a line end too; a CR inside a value is only ever written as the escape \r.
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty()) {
            flush();
            continue;
        }
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const int colon = line.indexOf(QLatin1Char(':'));
        const int key = colon < 0 ? -1 : keys().indexOf(line.left(colon));
        QString why;
        QString value = line.mid(colon + 1);
        if (value.startsWith(QLatin1Char(' ')))
            value.remove(0, 1);
        if (key < 0)
            why = QStringLiteral("expected one of %1: \"%2\"").arg(keys().join(", "), line);
        else if (given.at(key) > 0)
            why = QStringLiteral("%1 again in the same entry (first on line %2): a blank line ends an entry")
                      .arg(keys().at(key))
                      .arg(given.at(key));
        else if (value.startsWith(QLatin1Char('"')))
            unquote(QString(value), &value, &why);
        if (!why.isEmpty()) {
            if (error)
                *error = QStringLiteral("line %1 (entry %2): %3").arg(n + 1).arg(entries->size() + 1).arg(why);
            entries->clear();
            return false;
        }
        fields[key] = value;
        given[key] = n + 1;
        open = true;
    }
    flush();
    return true;
}

#include "catalogue/fieldrules.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

namespace {

// The words of a one-line entry, and where its options block lies among them: [first, last) are the words inside
// the brackets, with the brackets themselves cut off.
struct EntryWords {
    QStringList words;
    QStringList options;
    int uri = 1; // the index of the URI
};

EntryWords split(const QString &line)
{
    EntryWords e;
    const QString text = line.simplified();
    const int open = text.indexOf(QLatin1Char('['));
    const int firstBlank = text.indexOf(QLatin1Char(' '));
    if (open >= 0 && firstBlank >= 0 && open == firstBlank + 1) {
        const int close = text.indexOf(QLatin1Char(']'), open);
        if (close < 0) {
            e.words = text.split(QLatin1Char(' '));
            e.uri = -1;
            return e;
        }
        e.options = text.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        e.words = (text.left(open) + text.mid(close + 1)).simplified().split(QLatin1Char(' '));
        return e;
    }
    e.words = text.split(QLatin1Char(' '));
    return e;
}

// An option's name: the part before "=", "+=" or "-=".
QString optionName(const QString &option)
{
    QString name = option.section(QLatin1Char('='), 0, 0);
    if (name.endsWith(QLatin1Char('+')) || name.endsWith(QLatin1Char('-')))
        name.chop(1);
    return name.toLower();
}

const char *const Refused = "Не добавлен репозиторий: ";

} // namespace

// Both name rules are anchored at the very end of the text: a plain "$" would also accept a name followed by one
// line break.
bool FieldRules::isPackageName(const QString &name)
{
    // Debian's rule, less a trailing "-": apt would read "name-" as "remove name".
    static const QRegularExpression rule(
        QRegularExpression::anchoredPattern(QStringLiteral("[a-z0-9][a-z0-9+.-]*[a-z0-9+.](:[a-z0-9][a-z0-9-]*)?")),
        QRegularExpression::CaseInsensitiveOption);
    return rule.match(name).hasMatch();
}

bool FieldRules::isDpkgName(const QString &name)
{
    // dpkg's own syntax: a name, optionally ":" and an architecture; both begin with a letter or a digit.
    static const QRegularExpression rule(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9][A-Za-z0-9+._-]*(:[A-Za-z0-9][A-Za-z0-9-]*)?")));
    return rule.match(name).hasMatch();
}

QString FieldRules::sourcesLineProblem(const QString &line)
{
    if (line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r')))
        return QString::fromUtf8(Refused) + QStringLiteral("строка для sources.list содержит перевод строки: ") + line;
    if (line.trimmed().isEmpty())
        return QString::fromUtf8(Refused) + QStringLiteral("строка для sources.list состоит из одних пробелов: '") + line +
               QLatin1Char('\'');
    return QString();
}

QString FieldRules::sourcesEntryProblem(const QString &line)
{
    const QString problem = sourcesLineProblem(line);
    if (!problem.isEmpty())
        return problem;
    const EntryWords e = split(line);
    const QStringList &w = e.words;
    static const QRegularExpression uri(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:\\S+$"));
    bool ok = e.uri == 1 && w.size() >= 3 && (w.at(0) == QLatin1String("deb") || w.at(0) == QLatin1String("deb-src")) &&
              uri.match(w.at(1)).hasMatch();
    if (ok) {
        // An exact path (a suite ending with "/") takes no components, any other suite at least one.
        const int components = w.size() - 3;
        ok = w.at(2).endsWith(QLatin1Char('/')) ? components == 0 : components > 0;
    }
    for (const QString &option : e.options)
        ok = ok && option.contains(QLatin1Char('='));
    if (!ok)
        return QString::fromUtf8(Refused) +
               QStringLiteral("строка для sources.list не является строкой источника apt (deb или deb-src, "
                              "[параметры], адрес, дистрибутив, компоненты): '") +
               line + QLatin1Char('\'');
    static const QStringList insecure{QStringLiteral("trusted"), QStringLiteral("allow-insecure"),
                                      QStringLiteral("allow-weak"), QStringLiteral("allow-downgrade-to-insecure")};
    for (const QString &option : e.options)
        if (insecure.contains(optionName(option)))
            return QString::fromUtf8(Refused) + QStringLiteral("строка для sources.list отключает проверку подписей (") +
                   option + QStringLiteral("): '") + line + QLatin1Char('\'');
    return QString();
}

QString FieldRules::ppaProblem(const QString &ppa)
{
    // Launchpad's names: lower-case letters, digits, "+", "-" and ".", beginning with a letter or a digit.
    static const QRegularExpression rule(
        QRegularExpression::anchoredPattern(QStringLiteral("ppa:[a-z0-9][a-z0-9+.-]*/[a-z0-9][a-z0-9+.-]*")));
    if (rule.match(ppa).hasMatch())
        return QString();
    return QStringLiteral("Не добавлен партнер-репозиторий: поле PPA не имеет вида ppa:владелец/имя: '") + ppa +
           QLatin1Char('\'');
}

QString FieldRules::keyUrlProblem(const QString &url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (parsed.isValid() && parsed.scheme() == QLatin1String("https") && !parsed.host().isEmpty() &&
        !url.contains(QLatin1Char('\n')) && !url.contains(QLatin1Char('\r')))
        return QString();
    return QStringLiteral("адрес ключа не является правильным адресом https://");
}

QString FieldRules::signedBy(const QString &line)
{
    // apt reads option names exactly as written: "Signed-By=" names no keyring, apt passes over it.
    for (const QString &option : split(line).options)
        if (option.startsWith(QLatin1String("signed-by=")))
            return option.mid(10);
    return QString();
}

QString FieldRules::withSignedBy(const QString &line, const QString &keyFile)
{
    if (!signedBy(line).isEmpty())
        return line; // the entry names its keyring itself
    EntryWords e = split(line);
    e.options << QStringLiteral("signed-by=") + keyFile;
    e.words.insert(1, QLatin1Char('[') + e.options.join(QLatin1Char(' ')) + QLatin1Char(']'));
    return e.words.join(QLatin1Char(' '));
}

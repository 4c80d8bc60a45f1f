#include "catalogue/playbook.h"

#include <QCryptographicHash>
#include <QSet>

#include <algorithm>

#include "catalogue/cataloguetext.h"
#include "catalogue/fieldrules.h"

namespace {

const char *const UpdateHandler = "update the package lists";

QString unsafe(const QString &text)
{
    return QStringLiteral("!unsafe ") + CatalogueText::quoted(text);
}

QString repositoryTask(const QString &name, const QString &repo)
{
    return QStringLiteral("    - name: %1\n"
                          "      ansible.builtin.apt_repository:\n"
                          "        repo: %2\n"
                          "        update_cache: false\n"
                          "      notify: %3\n")
        .arg(unsafe(name), unsafe(repo), QLatin1String(UpdateHandler));
}

bool hasLoneSurrogate(const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            return true;
    }
    return false;
}

} // namespace

QString Playbook::keyPath(const QString &url)
{
    const QByteArray hash = QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    const QString path = url.section(QLatin1Char('?'), 0, 0).section(QLatin1Char('#'), 0, 0);
    const bool binary = path.endsWith(QLatin1String(".gpg"), Qt::CaseInsensitive);
    return QStringLiteral("/etc/apt/keyrings/zaviron-") + QLatin1String(hash) +
           QLatin1String(binary ? ".gpg" : ".asc");
}


QString Playbook::generate(const QVector<CatalogueEntry> &entries, const QStringList &only, QStringList *unmatched)
{
    QString comments, repositories, packages;
    QStringList packageNames;
    QSet<QString> packageSet, found;
    const QSet<QString> wanted(only.begin(), only.end());
    bool anyKey = false;
    int taken = 0;
    for (int n = 0; n < entries.size(); ++n) {
        const CatalogueEntry &e = entries.at(n);
        if (!wanted.isEmpty() && !wanted.contains(e.installTitle))
            continue;
        found.insert(e.installTitle);
        const QString label = QStringLiteral("entry %1 (%2)").arg(n + 1).arg(e.title);
        // Quoted, so that no line break in a field can end the comment.
        const auto leaveOut = [&](const QString &what, const QString &field, const char *why) {
            comments += QStringLiteral("    # left out: entry %1, %2: its %3 %4 %5\n")
                            .arg(n + 1)
                            .arg(CatalogueText::quoted(e.title), what, CatalogueText::quoted(field), QLatin1String(why));
        };
        if (!FieldRules::isPackageName(e.installTitle)) {
            leaveOut(QStringLiteral("package field"), e.installTitle, "is no package name");
            continue;
        }
        // YAML has no way to write half a surrogate pair: one such text would make the whole playbook unreadable.
        const QStringList used{e.title, e.ppa, e.getAptKey, e.aptListEntry};
        const auto odd = std::find_if(used.begin(), used.end(), hasLoneSurrogate);
        if (odd != used.end()) {
            leaveOut(QStringLiteral("text"), *odd, "holds half a UTF-16 surrogate pair, which YAML cannot hold");
            continue;
        }
        ++taken;
        if (!packageSet.contains(e.installTitle)) {
            packageSet.insert(e.installTitle);
            packageNames << e.installTitle;
        }
        // The window's rules: a field that it would refuse is left out here too.
        if (!e.ppa.isEmpty() && !FieldRules::ppaProblem(e.ppa).isEmpty())
            leaveOut(QStringLiteral("PPA"), e.ppa, "is no ppa:OWNER/NAME");
        else if (!e.ppa.isEmpty())
            repositories += repositoryTask(label + QStringLiteral(": PPA"), e.ppa);
        QString line = e.aptListEntry;
        if (!line.isEmpty() && !FieldRules::sourcesEntryProblem(line).isEmpty()) {
            leaveOut(QStringLiteral("sources line"), line,
                     "is no one-line deb or deb-src entry that keeps apt's signature checks");
            line.clear();
        }
        if (!e.getAptKey.isEmpty() && !FieldRules::keyUrlProblem(e.getAptKey).isEmpty()) {
            leaveOut(QStringLiteral("signing key"), e.getAptKey, "is not fetched: keys come over https only");
            // The line was meant to be vouched for by that key: without it, the update would fail on every host.
            if (!line.isEmpty())
                leaveOut(QStringLiteral("sources line"), line, "needs the signing key left out");
            line.clear();
        } else if (!e.getAptKey.isEmpty()) {
            anyKey = true;
            repositories += QStringLiteral("    - name: %1\n"
                                           "      ansible.builtin.get_url:\n"
                                           "        url: %2\n"
                                           "        dest: %3\n"
                                           "        mode: \"0644\"\n"
                                           "      notify: %4\n")
                                .arg(unsafe(label + QStringLiteral(": signing key")), unsafe(e.getAptKey),
                                     keyPath(e.getAptKey), QLatin1String(UpdateHandler));
            if (!line.isEmpty())
                line = FieldRules::withSignedBy(line, keyPath(e.getAptKey));
        }
        if (!line.isEmpty())
            repositories += repositoryTask(label + QStringLiteral(": sources line"), line);
    }
    if (unmatched) {
        unmatched->clear();
        for (const QString &name : only)
            if (!found.contains(name) && !unmatched->contains(name))
                *unmatched << name;
    }

    QString out = QStringLiteral("# Made by zaviron-catalogue from %1 of the catalogue's %2 entries; run it with\n"
                                 "#   ansible-playbook -i hosts.ini playbook.yml\n"
                                 "- name: programs of the zaviron catalogue\n"
                                 "  hosts: all\n"
                                 "  become: true\n"
                                 "  gather_facts: false\n"
                                 "  force_handlers: true\n"
                                 "  handlers:\n"
                                 "    - name: %3\n"
                                 "      ansible.builtin.apt:\n"
                                 "        update_cache: true\n"
                                 "        lock_timeout: 600\n"
                                 "  tasks:\n")
                      .arg(taken)
                      .arg(entries.size())
                      .arg(QLatin1String(UpdateHandler));
    out += comments;
    if (anyKey)
        out += QStringLiteral("    - name: the folder of repository keys\n"
                              "      ansible.builtin.file:\n"
                              "        path: /etc/apt/keyrings\n"
                              "        state: directory\n"
                              "        mode: \"0755\"\n");
    out += repositories;
    if (!repositories.isEmpty())
        out += QStringLiteral("    - name: the package lists, once, when a repository changed\n"
                              "      ansible.builtin.meta: flush_handlers\n");
    if (!packageNames.isEmpty()) {
        out += QStringLiteral("    - name: the packages\n"
                              "      ansible.builtin.apt:\n"
                              "        name:\n");
        for (const QString &name : packageNames)
            out += QStringLiteral("          - ") + unsafe(name) + QLatin1Char('\n');
        out += QStringLiteral("        state: present\n"
                              "        lock_timeout: 600\n");
    }
    if (taken == 0)
        out += QStringLiteral("    []\n");
    return out;
}

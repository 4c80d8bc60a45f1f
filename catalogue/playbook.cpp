#include "catalogue/playbook.h"

#include <QCryptographicHash>
#include <QSet>

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
        if (!FieldRules::isPackageName(e.installTitle)) {
            // Quoted, so that no line break in a field can end the comment.
            comments += QStringLiteral("    # left out: entry %1, %2: its package field %3 is no package name\n")
                            .arg(n + 1)
                            .arg(CatalogueText::quoted(e.title), CatalogueText::quoted(e.installTitle));
            continue;
        }
        ++taken;
        if (!packageSet.contains(e.installTitle)) {
            packageSet.insert(e.installTitle);
            packageNames << e.installTitle;
        }
        // A line break would smuggle a second line into the sources file the module writes, as it would into
        // sources.list: such a field is left out, as the window refuses it.
        auto usable = [&](const QString &field, const char *what) {
            if (FieldRules::sourcesLineProblem(field).isEmpty())
                return true;
            comments += QStringLiteral("    # left out: entry %1, %2: its %3 %4 is no single line\n")
                            .arg(n + 1)
                            .arg(CatalogueText::quoted(e.title), QLatin1String(what), CatalogueText::quoted(field));
            return false;
        };
        if (!e.ppa.isEmpty() && usable(e.ppa, "PPA"))
            repositories += repositoryTask(label + QStringLiteral(": PPA"), e.ppa);
        QString line = e.aptListEntry.isEmpty() || usable(e.aptListEntry, "sources line") ? e.aptListEntry : QString();
        if (!e.getAptKey.isEmpty()) {
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

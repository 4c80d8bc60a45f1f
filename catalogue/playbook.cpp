#include "catalogue/playbook.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

#include "catalogue/cataloguetext.h"
#include "catalogue/fieldrules.h"

namespace {

QString unsafe(const QString &text)
{
    return QStringLiteral("!unsafe ") + CatalogueText::quoted(text);
}

QString hash16(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
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

// A name part apt accepts in sources.list.d and keyrings (it skips files with other characters), kept short.
QString namePart(QString text)
{
    static const QRegularExpression unusable(QStringLiteral("[^A-Za-z0-9_.-]+"));
    return text.replace(unusable, QStringLiteral("_")).left(64);
}

// Per host, from the facts the play gathers and the results its tasks register: the entries it keeps apart (a
// repository taken back, a PPA on a host other than Ubuntu) and the packages of the others, what its package lists
// offer, what apt refused, and the entries it could not get, each with its reason. Templated lazily, where used.
const char *const HostVars = R"yaml(    zaviron_held: {}
    zaviron_skipped: '{{ [] if ansible_facts["distribution"] == "Ubuntu" else zaviron_ppa_rows }}'
    zaviron_live: '{{ zaviron_rows | dict2items | rejectattr("key", "in", zaviron_held.keys() | list + zaviron_skipped) | map(attribute="value") | list }}'
    zaviron_wanted: '{{ zaviron_live | map(attribute="package") | unique | list }}'
    zaviron_offered: '{{ zaviron_wanted | select("in", zaviron_policy.stdout | default("") | regex_findall("(?m)^(\S+):\n  Installed: .*\n  Candidate: (?!\(none\))")) | list }}'
    zaviron_refused: '{{ zaviron_each.results | default([]) | selectattr("failed", "defined") | selectattr("failed") | map(attribute="item") | list }}'
    zaviron_missing: '{{ zaviron_held.values() | list
      + (zaviron_live | rejectattr("package", "in", zaviron_offered) | map(attribute="row") | product([": the package lists of this host do not offer it"]) | map("join") | list)
      + (zaviron_live | selectattr("package", "in", zaviron_refused) | map(attribute="row") | product([": apt could not install it (see the task before)"]) | map("join") | list)
      + ([] if zaviron_refresh is succeeded else ["the package lists could not be refreshed: " ~ zaviron_refresh.msg | default("")]) }}'
)yaml";

// Once per run, after the repositories: the lists, what they offer, the packages, the host's account.
const char *const PackageTasks = R"yaml(    - name: the package lists, once per run, before the packages
      ansible.builtin.apt:
        update_cache: true
        lock_timeout: 600
      changed_when: false
      ignore_errors: true
      register: zaviron_refresh
    - name: which of the packages the package lists offer
      ansible.builtin.command:
        argv: '{{ ["apt-cache", "policy"] + zaviron_wanted }}'
      environment:
        LC_ALL: C
      changed_when: false
      check_mode: false
      when: zaviron_wanted | length > 0
      register: zaviron_policy
    - name: the packages
      block:
        - name: the offered packages, in one apt call
          ansible.builtin.apt:
            name: '{{ zaviron_offered }}'
            state: present
            lock_timeout: 600
          when: zaviron_offered | length > 0
      rescue:
        - name: one by one, as apt refused them together
          ansible.builtin.apt:
            name: '{{ item }}'
            state: present
            lock_timeout: 600
          loop: '{{ zaviron_offered }}'
          ignore_errors: true
          register: zaviron_each
    - name: what this host got
      ansible.builtin.debug:
        msg:
          installed or there already: '{{ zaviron_offered | reject("in", zaviron_refused) | list }}'
          skipped, as a PPA is for Ubuntu hosts only: '{{ zaviron_skipped | map("extract", zaviron_rows, "row") | list }}'
    - name: what this host could not get, and why
      ansible.builtin.fail:
        msg: '{{ zaviron_missing }}'
      when: zaviron_missing | length > 0
)yaml";

// The entry's repository parts in one block: what a failure leaves written is taken back, and the entry is held back
// on that host with apt's reason.
QString repositoryBlock(int n, const QString &label, const QString &ppa, const QString &keyUrl, const QByteArray &key,
                        const QString &line)
{
    const QString id = QString::number(n);
    QString block = QStringLiteral("    - name: %1\n").arg(unsafe(label + QStringLiteral(": repository")));
    if (!ppa.isEmpty())
        block += QStringLiteral("      when: ansible_facts['distribution'] == 'Ubuntu'\n");
    block += QStringLiteral("      block:\n");
    if (!ppa.isEmpty())
        block += QStringLiteral("        - name: the PPA (the module takes it back when apt cannot fetch its list)\n"
                                "          ansible.builtin.apt_repository:\n"
                                "            repo: %1\n"
                                "            filename: zaviron-ppa-%2-%3\n"
                                "            update_cache: true\n"
                                "            update_cache_retries: 2\n")
                     .arg(unsafe(ppa), namePart(ppa.mid(4)), hash16(ppa));
    if (!keyUrl.isEmpty())
        block += QStringLiteral("        - name: the signing key, fetched when this playbook was written\n"
                                "          ansible.builtin.copy:\n"
                                "            content: %1\n"
                                "            dest: %2\n"
                                "            mode: \"0644\"\n"
                                "          register: zaviron_key_%3\n")
                     .arg(unsafe(Playbook::armoured(key)), Playbook::keyPath(keyUrl), id);
    if (!line.isEmpty())
        block += QStringLiteral("        - name: the sources line, in a list file of its own\n"
                                "          ansible.builtin.copy:\n"
                                "            content: %1\n"
                                "            dest: %2\n"
                                "            mode: \"0644\"\n"
                                "          register: zaviron_line_%3\n"
                                "        - name: its package list, fetched on its own where the line or key is new\n"
                                "          ansible.builtin.command:\n"
                                "            argv: [apt-get, update, -o, \"Dir::Etc::SourceList=%2\", -o, "
                                "\"Dir::Etc::SourceParts=-\", -o, \"APT::Get::List-Cleanup=0\"]\n"
                                "          environment:\n"
                                "            LC_ALL: C\n"
                                "          when: zaviron_key_%3 | default({}) is changed or zaviron_line_%3 is changed\n"
                                "          changed_when: false\n"
                                "          failed_when: zaviron_fetch.rc != 0 or zaviron_fetch.stdout is search('^Err:', "
                                "multiline=True)\n"
                                "          register: zaviron_fetch\n")
                     .arg(unsafe(line + QLatin1Char('\n')), Playbook::listPath(line), id);
    block += QStringLiteral("      rescue:\n");
    if (!line.isEmpty())
        block += QStringLiteral("        - name: the sources line taken back, so that the next run tries again\n"
                                "          ansible.builtin.file:\n"
                                "            path: %1\n"
                                "            state: absent\n"
                                "          when: zaviron_line_%2 | default({}) is changed\n")
                     .arg(Playbook::listPath(line), id);
    if (!keyUrl.isEmpty())
        block += QStringLiteral("        - name: the signing key taken back\n"
                                "          ansible.builtin.file:\n"
                                "            path: %1\n"
                                "            state: absent\n"
                                "          when: zaviron_key_%2 | default({}) is changed\n")
                     .arg(Playbook::keyPath(keyUrl), id);
    block += QStringLiteral("        - name: the entry held back on this host\n"
                            "          ansible.builtin.set_fact:\n"
                            "            zaviron_held: '{{ zaviron_held | combine({\"%1\": zaviron_rows[\"%1\"].row ~ \": its "
                            "repository failed and was taken back: \" ~ (ansible_failed_result.stderr_lines | default([]) | "
                            "join(\" \") or ansible_failed_result.msg | default(\"\"))}) }}'\n")
                 .arg(id);
    return block;
}

} // namespace

QString Playbook::keyPath(const QString &url)
{
    return QStringLiteral("/etc/apt/keyrings/zaviron-") + hash16(url) + QStringLiteral(".asc");
}

QString Playbook::listPath(const QString &line)
{
    static const QRegularExpression host(QStringLiteral("://([^/\\s\\]]+)"));
    const QString from = host.match(line).captured(1);
    return QStringLiteral("/etc/apt/sources.list.d/zaviron-") + (from.isEmpty() ? QString() : namePart(from) + '-') +
           hash16(line) + QStringLiteral(".list");
}

QString Playbook::armoured(const QByteArray &key)
{
    quint32 crc = 0xB704CE;
    for (const char byte : key) {
        crc ^= quint32(static_cast<unsigned char>(byte)) << 16;
        for (int bit = 0; bit < 8; ++bit) {
            crc <<= 1;
            if (crc & 0x1000000)
                crc ^= 0x1864CFB;
        }
    }
    const QByteArray base64 = key.toBase64();
    QString text = QStringLiteral("-----BEGIN PGP PUBLIC KEY BLOCK-----\n\n");
    for (int at = 0; at < base64.size(); at += 64)
        text += QString::fromLatin1(base64.mid(at, 64)) + QLatin1Char('\n');
    const char sum[3] = {char(crc >> 16), char(crc >> 8), char(crc)};
    return text + QLatin1Char('=') + QString::fromLatin1(QByteArray(sum, 3).toBase64()) +
           QStringLiteral("\n-----END PGP PUBLIC KEY BLOCK-----\n");
}

QString Playbook::generate(const QVector<CatalogueEntry> &entries, const QStringList &only, QStringList *unmatched,
                           const KeyFetcher &fetchKey)
{
    QString comments, rows, repositories;
    QStringList ppaRows;
    QSet<QString> found;
    QHash<QString, QPair<QByteArray, QString>> keys; // each address is fetched once: the key, or why there is none
    const QSet<QString> wanted(only.begin(), only.end());
    bool anyKey = false;
    int taken = 0;
    for (int n = 0; n < entries.size(); ++n) {
        const CatalogueEntry &e = entries.at(n);
        if (!wanted.isEmpty() && !wanted.contains(e.installTitle))
            continue;
        found.insert(e.installTitle);
        // Quoted, so that no line break in a field can end the comment.
        bool out = false;
        const auto leaveOut = [&](const QString &what, const QString &field, const QString &why) {
            comments += QStringLiteral("  # left out: entry %1, %2: its %3 %4 %5\n")
                            .arg(n + 1)
                            .arg(CatalogueText::quoted(e.title), what, CatalogueText::quoted(field), why);
            out = true;
        };
        if (!FieldRules::isPackageName(e.installTitle)) {
            leaveOut(QStringLiteral("package field"), e.installTitle, QStringLiteral("is no package name"));
            continue;
        }
        // YAML has no way to write half a surrogate pair: one such text would make the whole playbook unreadable.
        const QStringList used{e.title, e.ppa, e.getAptKey, e.aptListEntry};
        const auto odd = std::find_if(used.begin(), used.end(), hasLoneSurrogate);
        if (odd != used.end()) {
            leaveOut(QStringLiteral("text"), *odd, QStringLiteral("holds half a UTF-16 surrogate pair, which YAML cannot hold"));
            continue;
        }
        // The window's rules: an entry with a field that it would refuse is left out whole, so that no host gets its
        // package from elsewhere.
        if (!e.ppa.isEmpty() && !FieldRules::ppaProblem(e.ppa).isEmpty())
            leaveOut(QStringLiteral("PPA"), e.ppa, QStringLiteral("is no ppa:OWNER/NAME"));
        if (!e.aptListEntry.isEmpty() && !FieldRules::sourcesEntryProblem(e.aptListEntry).isEmpty())
            leaveOut(QStringLiteral("sources line"), e.aptListEntry,
                     QStringLiteral("is no one-line deb or deb-src entry that keeps apt's signature checks"));
        if (!e.getAptKey.isEmpty() && !FieldRules::keyUrlProblem(e.getAptKey).isEmpty())
            leaveOut(QStringLiteral("signing key"), e.getAptKey, QStringLiteral("is not fetched: keys come over https only"));
        if (out)
            continue;
        QByteArray key;
        if (!e.getAptKey.isEmpty()) {
            if (!keys.contains(e.getAptKey)) {
                QString failure = QStringLiteral("no key fetcher");
                const QByteArray fetched = fetchKey ? fetchKey(e.getAptKey, &failure) : QByteArray();
                keys.insert(e.getAptKey, {fetched, fetched.isEmpty() ? failure : QString()});
            }
            key = keys.value(e.getAptKey).first;
            if (key.isEmpty()) {
                leaveOut(QStringLiteral("signing key"), e.getAptKey,
                         QStringLiteral("could not be had: ") + CatalogueText::quoted(keys.value(e.getAptKey).second));
                continue;
            }
            anyKey = true;
        }
        ++taken;
        const QString id = QString::number(n + 1);
        const QString label = QStringLiteral("entry %1 (%2)").arg(id, e.title);
        rows += QStringLiteral("      \"%1\": {row: %2, package: %3}\n")
                    .arg(id, unsafe(label + QStringLiteral(", package ") + e.installTitle), unsafe(e.installTitle));
        if (!e.ppa.isEmpty())
            ppaRows << QLatin1Char('"') + id + QLatin1Char('"');
        if (!e.ppa.isEmpty() || !key.isEmpty() || !e.aptListEntry.isEmpty())
            repositories += repositoryBlock(n + 1, label, e.ppa, e.getAptKey, key,
                                            key.isEmpty() || e.aptListEntry.isEmpty()
                                                ? e.aptListEntry
                                                : FieldRules::withSignedBy(e.aptListEntry, keyPath(e.getAptKey)));
    }
    if (unmatched) {
        unmatched->clear();
        for (const QString &name : only)
            if (!found.contains(name) && !unmatched->contains(name))
                *unmatched << name;
    }

    QString out = QStringLiteral(
        "# Made by zaviron-catalogue from %1 of the catalogue's %2 entries; run it with\n"
        "#   ansible-playbook -i hosts.ini playbook.yml\n"
        "# It needs ansible-core 2.14 or later, and python3 with python3-apt on the hosts. The signing keys were\n"
        "# fetched (over https only, exactly one public key each) when it was written and travel in it: the hosts\n"
        "# download none. Each host gets what it can: a PPA only on Ubuntu hosts; a repository whose package list\n"
        "# apt cannot fetch is taken back there, and the next run tries it again; a package that the host's lists\n"
        "# do not offer, or that apt cannot install, does not stop the others. A host that could not get every\n"
        "# entry ends failed, naming those entries and why.\n"
        "# --check shows the keys, sources lines and PPAs that would be written and which packages the hosts'\n"
        "# package lists offer as they stand. It refreshes no lists and fetches no repository: the packages of a\n"
        "# repository that the run would add (and every package on a host whose lists are empty) show as not\n"
        "# offered, and a repository that apt could not fetch shows as written.\n"
        "- name: programs of the zaviron catalogue\n"
        "  hosts: all\n"
        "  become: true\n"
        "  gather_facts: true\n"
        "  gather_subset: [\"!all\"]\n")
                      .arg(taken)
                      .arg(entries.size());
    out += comments;
    if (taken == 0)
        return out + QStringLiteral("  tasks: []\n");
    out += QStringLiteral("  vars:\n    zaviron_rows:\n") + rows + QStringLiteral("    zaviron_ppa_rows: [") +
           ppaRows.join(QStringLiteral(", ")) + QStringLiteral("]\n") + QLatin1String(HostVars) +
           QStringLiteral("  tasks:\n");
    if (anyKey)
        out += QStringLiteral("    - name: the folder of repository keys\n"
                              "      ansible.builtin.file:\n"
                              "        path: /etc/apt/keyrings\n"
                              "        state: directory\n"
                              "        mode: \"0755\"\n");
    return out + repositories + QLatin1String(PackageTasks);
}

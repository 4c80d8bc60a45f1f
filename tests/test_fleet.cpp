// The playbook on a fleet of mixed releases: a Debian 12 and a Debian 13 root as hosts (Ansible's chroot
// connection, each on an overlay of its own), local repositories standing in for their distributions, a signed
// repository served on loopback, keys over https.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/support/support.h"

namespace {

const int HttpPort = 48731, HttpsPort = 48732; // the sandbox has a network of its own
const QString Roots = qEnvironmentVariable("ZAVIRON_FLEET", QStringLiteral("/var/tmp/zaviron-fleet"));
const QString Tool = QStringLiteral(ZAVIRON_BINARY_DIR "/zaviron-catalogue");

// What a task gave a host, from the json callback's account of a run.
QJsonValue hostResult(const QJsonObject &run, const QString &task, const QString &host)
{
    for (const QJsonValue t : run["plays"][0]["tasks"].toArray())
        if (t["task"]["name"] == task)
            return t["hosts"][host]["msg"];
    return QJsonValue();
}

} // namespace

class TestFleet : public QObject
{
    Q_OBJECT

    QTemporaryDir fixture{QStringLiteral("/var/tmp/zaviron-fleet-test-XXXXXX")};
    QString repo = fixture.filePath(QStringLiteral("repo")), inventory = fixture.filePath(QStringLiteral("hosts.ini"));
    QStringList hosts{QStringLiteral("debian12"), QStringLiteral("debian13")};
    QProcess servers;

    QString host(const QString &name) const { return fixture.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("ZAVIRON_SANDBOX"), "this suite mounts and serves: run it in the sandbox");
        qputenv("LC_ALL", "C.UTF-8"); // Ansible refuses other locales
        qputenv("ANSIBLE_STDOUT_CALLBACK", "ansible.posix.json");
        QCOMPARE(runProgram("ip", {"link", "set", "lo", "up"}).exitCode, 0);
        QVERIFY(QFile::setPermissions(fixture.path(), QFile::permissions(fixture.path()) | QFile::ExeOther));
        QByteArray armored, binary;
        QVERIFY(AptFixture::buildPackage(repo, "zv-signed") && AptFixture::indexRepository(repo) && AptFixture::makeKey(fixture.filePath("gnupg"), &armored, &binary));
        QVERIFY(AptFixture::signRepository(repo, fixture.filePath("gnupg")) && Support::writeFile(repo + "/key.asc", armored) && AptFixture::serve(&servers, repo, HttpsPort, HttpPort));
        // Each host: its release's root under an overlay, with only its stand-in distribution in its sources.
        QString lines = "[fleet]\n";
        for (const QString &name : hosts) {
            const QString dist = fixture.filePath(name + "-dist"), root = host(name), suite = name == hosts[0] ? "bookworm" : "trixie";
            for (const QString &package : QStringList{"zv-both-a", "zv-both-b", "zv-left", "zv-ppa"} + QStringList(name == hosts[0] ? "zv-old" : "zv-both-a"))
                QVERIFY(AptFixture::buildPackage(dist, package)); // Debian 13 stands in without zv-old
            QVERIFY(AptFixture::indexRepository(dist) && QDir().mkpath(root) && QDir().mkpath(root + "-upper") && QDir().mkpath(root + "-work"));
            QCOMPARE(runProgram("mount", {"-t", "overlay", "overlay", "-o", "lowerdir=" + Roots + '/' + suite + ",upperdir=" + root + "-upper,workdir=" + root + "-work", root}).exitCode, 0);
            QVERIFY(QFile::remove(root + "/etc/apt/sources.list") && runProgram("cp", {"-r", dist, root + "/srv/dist"}).exitCode == 0);
            QVERIFY(Support::writeFile(root + "/etc/apt/sources.list.d/dist.list", "deb [trusted=yes] file:/srv/dist ./\n"));
            lines += name + " ansible_host=" + root + '\n';
        }
        QVERIFY(Support::writeFile(inventory, (lines + "[fleet:vars]\nansible_connection=community.general.chroot\n"
                                               "ansible_python_interpreter=/usr/bin/python3\nansible_become=false\n").toUtf8()));
    }

    void cleanupTestCase()
    {
        servers.kill();
        for (const QString &name : hosts) // the overlay first: the fixture's removal must not reach into a root
            fixture.setAutoRemove(fixture.autoRemove() && runProgram("umount", {host(name)}).exitCode == 0);
    }

    // Six entries as a mixed fleet meets them, twice: each host gets what it can, names what it could not, skips the
    // PPA, and changes nothing the second time; keys that are not had over https alone are left out with their entry.
    void mixedReleases()
    {
        Support::WorkDir work;
        const QString https = QString("https://127.0.0.1:%1/").arg(HttpsPort), http = QString("http://127.0.0.1:%1/").arg(HttpPort), line = "deb " + http + " ./";
        const QString hostile = "{{ lookup('pipe','touch /tmp/pwned') }}";
        QVERIFY(work.writeCatalogue({Support::entry("A", "zv-both-a"), Support::entry("B", "zv-both-b"), Support::entry(hostile, "zv-old"),
                                     Support::entry("S", "zv-signed", "", https + "key.asc", line), Support::entry("P", "zv-ppa", "ppa:zv/tools"),
                                     Support::entry("H", "zv-left", "", http + "key.asc", line), Support::entry("R", "zv-left", "", https + "to-http/key.asc", line)}));
        const ProcessResult exported = runProgram(Tool, {"to-ansible", "dataSoftware.db"}, 120000);
        QVERIFY(exported.exitCode == 0 && Support::writeFile("playbook.yml", exported.out));
        QVERIFY(exported.out.contains("# left out: entry 6, \"H\": its signing key \"" + http.toUtf8() + "key.asc\" is not fetched"));
        QVERIFY2(exported.out.contains("# left out: entry 7, \"R\": its signing key \"" + https.toUtf8() + "to-http/key.asc\" could not be had: \"curl"), exported.out.constData());
        for (int run = 1; run <= 2; ++run) {
            QElapsedTimer clock;
            clock.start();
            const ProcessResult played = runProgram("ansible-playbook", {"-i", inventory, "playbook.yml"}, 600000);
            qInfo("run %d with %s: %.1f s", run, runProgram("ansible", {"--version"}).out.split('\n').first().constData(), clock.elapsed() / 1000.0);
            const QJsonObject result = QJsonDocument::fromJson(played.out).object();
            QVERIFY2(played.exitCode == 2 && !result.isEmpty(), (played.out + played.err).right(3000).constData());
            QCOMPARE(result["stats"]["debian12"]["failures"].toInt() * 10 + result["stats"]["debian13"]["failures"].toInt(), 1);
            if (run == 2)
                QCOMPARE(result["stats"]["debian12"]["changed"].toInt() + result["stats"]["debian13"]["changed"].toInt(), 0);
            QCOMPARE(hostResult(result, "what this host could not get, and why", "debian13").toVariant().toStringList(),
                     {"entry 3 (" + hostile + "), package zv-old: the package lists of this host do not offer it"});
            for (const QString &name : hosts)
                QCOMPARE(hostResult(result, "what this host got", name)["skipped, as a PPA is for Ubuntu hosts only"].toVariant().toStringList(),
                         {"entry 5 (P), package zv-ppa"});
        }
        for (const QString &name : hosts)
            QCOMPARE(runProgram("chroot", {host(name), "dpkg-query", "-W", "-f", "${Package} ", "zv-*"}).out,
                     name == hosts[0] ? QByteArray("zv-both-a zv-both-b zv-old zv-signed ") : QByteArray("zv-both-a zv-both-b zv-signed "));
        QVERIFY(!QFile::exists("/tmp/pwned"));
    }
};

QTEST_GUILESS_MAIN(TestFleet)
#include "test_fleet.moc"

#include "tests/support/support.h"

#include <QAbstractButton>
#include <QThread>
#include <QTextDocument>

#include "app/messagebox.h"

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

namespace {
const QFile::Permissions Executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
}

QString Support::script(const QString &path, const QByteArray &body)
{
    QDir().mkpath(QFileInfo(path).path());
    writeFile(path, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, Executable);
    return path;
}

QString Support::logText()
{
    QFile f(QString::fromLatin1(Sys::LogFile));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QStringList Support::logMessages()
{
    static const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\]  "));
    QStringList messages;
    for (QString line : logText().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        messages << (line.contains(stamp) ? line.remove(stamp) : QStringLiteral("<malformed> ") + line);
    return messages;
}

CatalogueEntry Support::entry(const QString &title, const QString &package, const QString &ppa, const QString &key,
                              const QString &sourcesLine)
{
    return CatalogueEntry::fromFields(
        {title, QStringLiteral("описание ") + title, package, ppa, key, sourcesLine});
}

Support::WorkDir::WorkDir() : previous(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
Support::WorkDir::~WorkDir() { QDir::setCurrent(previous); }

bool Support::WorkDir::writeCatalogue(const Entries &entries) const
{
    return CatalogueAccess::write(dir.path() + QStringLiteral("/dataSoftware.db"), entries);
}

namespace {
// A text as its label shows it to the user: rich text rendered, plain text as it stands.
QString asShown(const QString &text, Qt::TextFormat format)
{
    QTextDocument document;
    document.setHtml(text);
    const bool rich = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
    return rich ? document.toPlainText() : text;
}
} // namespace

Support::Boxes::Boxes()
{
    MessageBoxes::setAnswerer([this](QMessageBox *box) {
        shown << asShown(box->text(), box->textFormat()) + QLatin1Char('|') + asShown(box->informativeText(), Qt::AutoText);
        QTimer::singleShot(0, box, [this, box] {
            if (QAbstractButton *button = box->button(QMessageBox::StandardButton(answer)))
                return button->click();
            QTest::keyClick(box, answer >= Qt::Key_Escape ? Qt::Key(answer) : Qt::Key_Escape);
        });
        return box->exec();
    });
}

Support::Boxes::~Boxes() { MessageBoxes::setAnswerer(nullptr); }

namespace {
// Exit code 0 within the time; otherwise what the program said goes to the test's log.
bool succeeds(const QString &program, const QStringList &args, QByteArray *errors = nullptr)
{
    const ProcessResult r = runProgram(program, args, 120000);
    if (errors)
        *errors = r.err;
    if (!r.succeeded())
        qWarning("%s: %s", qPrintable(program), (r.out + r.err).right(2000).constData());
    return r.succeeded();
}
} // namespace

bool AptFixture::buildPackage(const QString &repo, const QString &name, const QMap<QString, QByteArray> &control,
                              const QByteArray &fields)
{
    const QString root = repo + QStringLiteral("/src/") + name;
    bool ok = QDir().mkpath(root + QStringLiteral("/DEBIAN")) && QDir().mkpath(root + QStringLiteral("/usr/share/") + name) &&
              Support::writeFile(root + QStringLiteral("/usr/share/") + name + QStringLiteral("/marker"), "x\n") &&
              Support::writeFile(root + QStringLiteral("/DEBIAN/control"),
                                 "Package: " + name.toUtf8() + "\nVersion: 1.0\nArchitecture: all\nMaintainer: Test "
                                 "<test@example.org>\n" + fields + "Description: test package\n");
    for (auto file = control.begin(); file != control.end(); ++file) {
        const QString path = root + QStringLiteral("/DEBIAN/") + file.key();
        ok = ok && Support::writeFile(path, file.value()) && (!file.value().startsWith("#!") || QFile::setPermissions(path, Executable));
    }
    return ok && succeeds(QStringLiteral("dpkg-deb"), {"--build", "--root-owner-group", root, repo + '/' + name + ".deb"});
}

bool AptFixture::indexRepository(const QString &repo)
{
    // apt's download helper runs as another user: it must be able to read the repository.
    return QFile::setPermissions(repo, Executable) &&
           succeeds(QStringLiteral("sh"), {"-c", "cd \"$1\" && dpkg-scanpackages . /dev/null > Packages", "sh", repo});
}

bool AptFixture::makeKey(const QString &gnupgHome, QByteArray *armored, QByteArray *binary)
{
    QDir().mkpath(gnupgHome);
    QFile::setPermissions(gnupgHome, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QStringList home{QStringLiteral("--homedir"), gnupgHome, QStringLiteral("--batch")};
    const bool made = succeeds("gpg", home + QStringList{"--passphrase", "", "--quick-gen-key",
                                                         "Test Repository <test@example.org>", "ed25519", "sign", "never"});
    *armored = runProgram("gpg", home + QStringList{"--armor", "--export"}).out;
    *binary = runProgram("gpg", home + QStringList{"--export"}).out;
    return made && !armored->isEmpty() && !binary->isEmpty();
}

bool AptFixture::signRepository(const QString &repo, const QString &gnupgHome)
{
    const QByteArray packages = Support::readAll(repo + QStringLiteral("/Packages"));
    const QString date = QLocale::c().toString(QDateTime::currentDateTimeUtc(), "ddd, dd MMM yyyy hh:mm:ss 'UTC'");
    const QByteArray release = "Origin: test\nLabel: test\nDate: " + date.toLatin1() + "\nSHA256:\n " +
                               QCryptographicHash::hash(packages, QCryptographicHash::Sha256).toHex() + ' ' +
                               QByteArray::number(packages.size()) + " Packages\n";
    QFile::remove(repo + QStringLiteral("/InRelease"));
    return Support::writeFile(repo + QStringLiteral("/Release"), release) &&
           succeeds("gpg", {"--homedir", gnupgHome, "--batch", "--clearsign", "-o", repo + "/InRelease", repo + "/Release"});
}

bool AptFixture::onlySources(const QByteArray &content)
{
    const QString dir = QStringLiteral("/etc/apt/sources.list.d");
    return QDir(dir).removeRecursively() && QDir().mkpath(dir) && SafeFile::replace(QString::fromLatin1(Sys::SourcesList), content);
}

bool AptFixture::aptUpdate(QByteArray *errors)
{
    return succeeds(QStringLiteral("apt-get"), {QStringLiteral("update")}, errors);
}

bool AptFixture::serve(QProcess *server, const QString &dir, int httpsPort, int httpPort)
{
    const QString cert = "/usr/local/share/ca-certificates/zv-test.crt", pem = "/tmp/zv-test.pem";
    const char *const servers =
        "import http.server,ssl,sys,functools,threading\n"
        "class H(http.server.SimpleHTTPRequestHandler):\n"
        "  def log_message(self,*a): pass\n"
        "  def do_GET(self):\n"
        "    if not self.path.startswith('/to-http/'): return super().do_GET()\n"
        "    self.send_response(302);self.send_header('Location','http://127.0.0.1:'+sys.argv[3]+self.path[8:]);self.end_headers()\n"
        "h=functools.partial(H,directory=sys.argv[1]);serve=lambda p:http.server.ThreadingHTTPServer(('127.0.0.1',int(p)),h)\n"
        "s=serve(sys.argv[2]);c=ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER);c.load_cert_chain(sys.argv[4],sys.argv[5])\n"
        "s.socket=c.wrap_socket(s.socket,server_side=True);threading.Thread(target=serve(sys.argv[3]).serve_forever).start();s.serve_forever()\n";
    if (!succeeds("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", pem, "-out", cert, "-subj", "/CN=127.0.0.1",
                              "-addext", "subjectAltName=IP:127.0.0.1", "-days", "2"}) || !succeeds("update-ca-certificates", {}))
        return false;
    server->start("python3", {"-c", servers, dir, QString::number(httpsPort), QString::number(httpPort), cert, pem});
    for (int tries = 0; tries < 150; ++tries, QThread::msleep(100))
        if (runProgram("curl", {"-sL", "-o", "/dev/null", QString("https://127.0.0.1:%1/to-http/").arg(httpsPort)}).exitCode == 0)
            return true;
    return false;
}

#ifndef ZAVIRON_FIELDRULES_H
#define ZAVIRON_FIELDRULES_H

#include <QString>

/// What a catalogue field may hold before it reaches apt, dpkg or a sources file. A stranger may have written the
/// catalogue: a field that apt, dpkg or the sources parser would read as its own syntax is refused here, once, for
/// the window, the text form and the playbook alike. Each problem text (Russian, plain) is a log line.
namespace FieldRules {

/// A Debian package name and nothing else: a letter or digit, then at least one of letters, digits, "+", "." and
/// "-", not ending in "-", optionally ":" and an architecture; letter case is ignored, as dpkg ignores it. apt reads
/// anything else as its own syntax ("name-" removes, "/path.deb" installs a file, "=", "/", globs and "?" select
/// other packages).
bool isPackageName(const QString &name);

/// Whether dpkg could know the name at all. No other name is ever handed to dpkg: a glob character in one would
/// match other packages.
bool isDpkgName(const QString &name);

/// Why line cannot go into a sources file, or an empty string when it can: a line break would smuggle in further
/// lines, and a line of blanks is no entry.
QString sourcesLineProblem(const QString &line);

/// Why line is no acceptable one-line apt sources entry, or an empty string when it is one: "deb" or "deb-src", an
/// optional "[...]" options block, a URI with a scheme, a suite, and components unless the suite ends with "/".
/// Options that switch apt's signature checks off (trusted, allow-insecure, allow-weak,
/// allow-downgrade-to-insecure, whatever their value) are refused too.
QString sourcesEntryProblem(const QString &line);

/// Why ppa is no Launchpad archive in the form "ppa:OWNER/NAME", or an empty string when it is one. Anything else
/// would reach apt-add-repository as a sources line of its own.
QString ppaProblem(const QString &ppa);

/// Why url is no key address this program fetches (https only, so nobody on the way can swap the key), or an
/// empty string when it is one.
QString keyUrlProblem(const QString &url);

/// The keyring that an acceptable one-line entry names in its "signed-by=" option, "" for none. The option's name
/// is read exactly, as apt reads it.
QString signedBy(const QString &line);

/// line (an acceptable sources entry) with "signed-by=keyFile" in its options block, or in a new one, so that the
/// key vouches for that repository alone. A line that names its keyring already is left as it is.
QString withSignedBy(const QString &line, const QString &keyFile);

} // namespace FieldRules

#endif

#ifndef ZAVIRON_SYSPATHS_H
#define ZAVIRON_SYSPATHS_H

// Every fixed path and command text through which the program touches the system, in one place.
namespace Sys {

// Files.
inline constexpr const char *CatalogueFile = "./dataSoftware.db";
inline constexpr const char *LockFile = "/tmp/zaviron.lock";
// Root's alone: an exclusive flock on it is held from the start window to the end of the process.
inline constexpr const char *InstanceLockFile = "/run/zaviron.lock";
inline constexpr const char *LogFile = "/var/log/zaviron.log";
inline constexpr const char *SourcesList = "/etc/apt/sources.list";
inline constexpr const char *SourcesDir = "/etc/apt";
inline constexpr const char *SourcesPartsDir = "/etc/apt/sources.list.d";
// A key that vouches for one sources line of ours lives here, named in that line's signed-by; any other key of ours
// lives in trusted.gpg.d, where apt trusts it for every repository.
inline constexpr const char *KeyringsDir = "/etc/apt/keyrings";
inline constexpr const char *TrustedKeysDir = "/etc/apt/trusted.gpg.d";
inline constexpr const char *DpkgLock = "/var/lib/dpkg/lock";
// apt takes this one first, then dpkg's own lock: a program waiting for either waits for the package manager.
inline constexpr const char *DpkgFrontendLock = "/var/lib/dpkg/lock-frontend";
inline constexpr const char *AptListsLock = "/var/lib/apt/lists/lock";

// Programs, run with argument lists, never through a shell with data in the command text.
inline constexpr const char *Dpkg = "dpkg";
inline constexpr const char *DpkgQuery = "dpkg-query";
inline constexpr const char *AptGet = "apt-get";
inline constexpr const char *AptAddRepository = "apt-add-repository";
inline constexpr const char *Curl = "curl";
inline constexpr const char *Gpg = "gpg";
inline constexpr const char *Pidof = "pidof";
inline constexpr const char *Sh = "sh";
inline constexpr const char *OwnName = "zaviron";

// What dpkg-query -W prints per package: the fields of dpkg's own status stanza that the status check reads.
inline constexpr const char *DpkgStatusFormat =
    "Package: ${Package}\nArchitecture: ${Architecture}\nStatus: ${Status}\n\n";

// Command texts as the user sees them in the terminal window and in the log.
inline constexpr const char *AptGetUpdate = "apt-get update";
inline constexpr const char *DpkgConfigure = "dpkg --configure -a";
// Runs apt-get with the given arguments in the terminal and writes its exit status to the file named by $0 (a
// fixed script: the status file and apt's own options are its positional parameters), so the refresh can be judged.
// Runs apt-get with the given arguments in the terminal, writes its exit status to "status" and a copy of what it
// says on standard error to "errors" in the folder named by $0 (a fixed script: the folder and apt's own options
// are its positional parameters), so that the refresh can be judged, even one that exits 0 yet could not fetch a
// repository.
inline constexpr const char *StatusScript =
    "{ { apt-get \"$@\"; echo \"$?\" > \"$0/status\"; } 2>&1 1>&3 3>&- | tee \"$0/errors\" >&2; } 3>&1; "
    "exit \"$(cat -- \"$0/status\" 2>/dev/null || echo 1)\"";
inline constexpr const char *RefreshStatusName = "status";
inline constexpr const char *RefreshErrorsName = "errors";
// How long apt-get waits for the package manager's lock, as an apt option.
inline constexpr const char *AptLockTimeout = "DPkg::Lock::Timeout=600";

// Fetches a signing key to standard output, over https only (a redirect that leaves https is refused), one byte
// past the limit at most, and says curl's exit status as the last line of standard error ("curl: N"): a fixed
// script, the key URL is its first positional parameter (after --url, so it is never read as an option). -q: no
// curlrc of the user's changes what is fetched.
inline constexpr const char *KeyDownloadScript =
    "{ curl -q --proto =https --proto-redir =https --fail --silent --show-error --location --max-redirs 5 "
    "--connect-timeout 20 --max-time 60 --retry 1 --url \"$1\"; echo \"curl: $?\" >&2; } | head -c 1048577";
// A signing key is far smaller than this; a larger download is refused.
inline constexpr int KeyMaxBytes = 1024 * 1024;

// Hidden commands wait this long at most, then they are ended.
inline constexpr int CommandTimeoutMs = 30000;
// A new repository's lists are fetched alone before its entry is kept: a large one takes longer than a command.
inline constexpr int RepositoryFetchTimeoutMs = 180000;
inline constexpr int TerminalWatchMs = 500; // how often a terminal looks whether its command has gone

} // namespace Sys

#endif

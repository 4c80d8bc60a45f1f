#ifndef ZAVIRON_SIGNINGKEYS_H
#define ZAVIRON_SIGNINGKEYS_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "app/process.h"

/// Signing keys of a catalogue row: what a download must be to count as a key, where it goes and under which name.
namespace SigningKeys {

/// sh arguments that fetch the key at url (https only) to standard output.
QStringList downloadArgs(const QString &url);

/// Why a download (the run of downloadArgs) gives no key to store, or an empty string when its data may be one: the
/// script failed or timed out, curl failed (a plain-http redirect among its reasons), or more than the limit came.
QString downloadFailure(const ProcessResult &download);

/// Arguments for gpg that list the keys of the data on its standard input, with homeDir as its private home.
QStringList listArgs(const QString &homeDir);

/// Arguments for gpg that turn the armored key on its standard input into binary, with homeDir as its home.
QStringList dearmorArgs(const QString &homeDir);

/// Why data is not exactly one public key, judged from the data itself and gpg's colon listing of it (empty when it
/// is one): an armored block must stand alone, with nothing but blanks around it; gpg must list one public key and
/// no secret one.
QString keyProblem(const QByteArray &data, const ProcessResult &listing);

/// The file name for the key at url: "zaviron-", then the URL's host and file name joined by "-", with a key
/// extension of the URL dropped and ".gpg" put on (the key is kept as a binary keyring); characters apt would not
/// accept become "_".
QString fileName(const QString &url);

/// Where a key went.
struct Stored {
    QString path;         ///< the key's file
    bool already = false; ///< the same key was there already: nothing was written
    QString failure;      ///< why it was not stored (empty: it was)
};

/// Stores the binary key at path, replacing another key there atomically (a vendor rotates its key at the same
/// address); the same key already there is not written again.
Stored storeAt(const QString &path, const QByteArray &key);

/// Fetches the key at url and has gpg read it: the key in binary form, or an empty array with the reason in *failure.
QByteArray key(const QString &url, QString *failure);

/// Fetches the key at url, has gpg read it and stores it at path: the whole step.
Stored fetch(const QString &url, const QString &path);

} // namespace SigningKeys

#endif

#ifndef CATALOGUETEXT_H
#define CATALOGUETEXT_H

#include "catalogue/cataloguecodec.h"

/// The readable form of a catalogue kept in the source tree: one "Key: value" line per field, entries separated by
/// blank lines, "#" starting a comment line. Keys are the field names (Title, Description, InstallTitle, PPA,
/// GetAptKey, AptListEntry); a missing key is an empty field. The value is everything after ": ", unchanged.
namespace CatalogueText {

/// Parses the text; on a line it cannot read, returns false and names the line in *error.
bool parse(const QString &text, QVector<CatalogueEntry> *entries, QString *error);

} // namespace CatalogueText

#endif

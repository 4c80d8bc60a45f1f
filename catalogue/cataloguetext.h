#ifndef ZAVIRON_CATALOGUETEXT_H
#define ZAVIRON_CATALOGUETEXT_H

#include "catalogue/cataloguecodec.h"

/// The readable form of a catalogue: one "Key: value" line per field, entries separated by blank lines, "#"
/// starting a comment line, lines ended by LF or CR LF. Keys are the field names (Title, Description, InstallTitle,
/// PPA, GetAptKey, AptListEntry); a missing key is an empty field, a key given twice in one entry is an error. The
/// value is everything after ": ", unchanged, unless it begins with a double quote: then it is a quoted value, read
/// up to its closing quote with the escapes \" \\ \n \r \t and \uXXXX (one UTF-16 code unit). format() quotes
/// exactly the values that would not read back as themselves otherwise, so any catalogue goes through the text form
/// and back unchanged; only a field stored as the null-string marker, which the text cannot tell from an empty
/// field, comes back as an empty field.
namespace CatalogueText {

/// Parses the text; on a line it cannot read, returns false with no entries and names the line and its entry in
/// *error.
bool parse(const QString &text, QVector<CatalogueEntry> *entries, QString *error);

/// The text form of the entries; parse() gives them back exactly.
QString format(const QVector<CatalogueEntry> &entries);

/// The value in double quotes, with every character escaped that is no plain printable text: line breaks of any
/// kind, other control characters, unpaired surrogates, noncharacters, the quote and the backslash. The escapes
/// are also those of YAML's double-quoted scalars, which read the result as the same text.
QString quoted(const QString &value);

} // namespace CatalogueText

#endif

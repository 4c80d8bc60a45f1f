// libFuzzer target for the catalogue reader and its write guard: any bytes must read without a crash, a leak or an
// allocation out of proportion to the input, what was read must survive a write and a second read unchanged, and a
// damaged file is never rewritten or appended to, so it can never come out shorter.
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#include "catalogue/catalogueaccess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<int>(size));
    bool complete = true;
    const QVector<CatalogueEntry> entries = CatalogueCodec::decode(bytes, &complete);
    qint64 textBytes = 0;
    for (const CatalogueEntry &e : entries)
        for (const QString &field : e.fields())
            textBytes += 2 * field.size();
    if (textBytes > static_cast<qint64>(size))
        std::abort(); // read more text than the input holds
    const QByteArray written = CatalogueCodec::encode(entries);
    if (CatalogueCodec::decode(written) != entries)
        std::abort(); // a write and a read lost or changed something
    if (CatalogueCodec::encode(CatalogueCodec::decode(written)) != written)
        std::abort();
    static unsigned damaged = 0;
    if (complete || damaged++ % 4 != 0) // the files make it slow: every fourth damaged input is enough
        return 0;
    // What the window's delete of the last row and the dialogs' append would do with a file of these bytes.
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dataSoftware.db"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
    file.close();
    const CatalogueAccess::Loaded loaded = CatalogueAccess::load(path);
    if (loaded.complete || loaded.writable() || loaded.entries != entries)
        std::abort();
    CatalogueAccess::rewrite(path, loaded.entries.mid(0, loaded.entries.size() - 1));
    CatalogueAccess::append(path, CatalogueEntry::fromFields({QStringLiteral("x")}));
    if (!file.open(QIODevice::ReadOnly) || file.readAll() != bytes)
        std::abort(); // a damaged catalogue was written
    return 0;
}

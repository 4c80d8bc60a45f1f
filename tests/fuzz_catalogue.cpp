// libFuzzer target for the catalogue reader: any bytes must read without a crash, a leak or an allocation out of
// proportion to the input, and what was read must survive a write and a second read unchanged.
#include <cstdint>
#include <cstdlib>

#include "catalogue/cataloguecodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const QVector<CatalogueEntry> entries = CatalogueCodec::decode(bytes);
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
    return 0;
}

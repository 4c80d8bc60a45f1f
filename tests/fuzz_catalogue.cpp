// libFuzzer target for the catalogue reader: any bytes read without a crash, a leak or an allocation out of proportion
// to the input, and what was read survives a write and a second read unchanged.
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
    const QByteArray written = CatalogueCodec::encode(entries);
    if (textBytes > static_cast<qint64>(size) || CatalogueCodec::decode(written) != entries ||
        CatalogueCodec::encode(CatalogueCodec::decode(written)) != written)
        std::abort(); // more text than the input holds, or a write and a read changed something
    return 0;
}

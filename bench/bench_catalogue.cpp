// Reading and writing the catalogue: the time to decode and encode catalogues of growing size, and the memory a
// damaged file costs. A 1 KiB file whose first length word claims almost 2 GiB must open with at most a few MiB of
// extra memory, and the time must grow with the file, not faster.
#include <QByteArray>
#include <QElapsedTimer>
#include <QVector>

#include <cstdio>
#include <sys/resource.h>

#include "catalogue/cataloguecodec.h"

namespace {

long peakRssKiB()
{
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QVector<CatalogueEntry> catalogue(int size)
{
    QVector<CatalogueEntry> entries;
    for (int i = 0; i < size; ++i)
        entries << CatalogueEntry::fromFields(
            {QStringLiteral("Программа %1").arg(i), QStringLiteral("Описание программы номер %1 для проверки").arg(i),
             QStringLiteral("package-%1").arg(i), i % 5 ? QString() : QStringLiteral("ppa:team/archive-%1").arg(i),
             i % 7 ? QString() : QStringLiteral("https://download.example.org/keys/%1.asc").arg(i),
             i % 7 ? QString() : QStringLiteral("deb [arch=amd64] https://download.example.org/%1 stable main").arg(i)});
    return entries;
}

} // namespace

int main()
{
    // The damaged file first, while the peak is still the program's own start-up.
    QByteArray damaged(4, '\0');
    damaged[0] = '\x7f';
    damaged[1] = '\xff';
    damaged[2] = '\xff';
    damaged[3] = '\xf0';
    damaged.append(QByteArray(1020, 'x'));
    const long before = peakRssKiB();
    const QVector<CatalogueEntry> read = CatalogueCodec::decode(damaged);
    const long after = peakRssKiB();
    std::printf("damaged 1 KiB file (length word 0x7FFFFFF0): %d row(s), peak memory grew by %ld KiB "
                "(target: a few MiB at most)\n",
                int(read.size()), after - before);

    std::printf("%8s %10s %12s %12s\n", "entries", "bytes", "decode ms", "encode ms");
    for (int size : {28, 1000, 10000, 100000}) {
        const QVector<CatalogueEntry> entries = catalogue(size);
        QElapsedTimer timer;
        timer.start();
        const QByteArray data = CatalogueCodec::encode(entries);
        const double encodeMs = timer.nsecsElapsed() / 1e6;
        timer.restart();
        const QVector<CatalogueEntry> back = CatalogueCodec::decode(data);
        const double decodeMs = timer.nsecsElapsed() / 1e6;
        if (back != entries) {
            std::fprintf(stderr, "round trip of %d entries changed the catalogue\n", size);
            return 1;
        }
        std::printf("%8d %10d %12.2f %12.2f\n", size, int(data.size()), decodeMs, encodeMs);
    }
    return 0;
}

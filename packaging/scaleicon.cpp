// Scales the application's emblem to one of the icon theme's square sizes: zaviron-scaleicon SOURCE.png OUTPUT.png N
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: zaviron-scaleicon SOURCE.png OUTPUT.png SIZE\n");
        return 2;
    }
    bool ok = false;
    const int size = QString::fromLocal8Bit(argv[3]).toInt(&ok);
    if (!ok || size <= 0) {
        std::fprintf(stderr, "bad size: %s\n", argv[3]);
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    if (source.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    // An icon theme folder holds pictures of exactly its size; a picture that is not square keeps its proportions
    // and is centred on a transparent square.
    const QImage scaled = source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    for (int y = 0; y < scaled.height(); ++y)
        for (int x = 0; x < scaled.width(); ++x)
            icon.setPixel(x + (size - scaled.width()) / 2, y + (size - scaled.height()) / 2, scaled.pixel(x, y));
    if (!icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

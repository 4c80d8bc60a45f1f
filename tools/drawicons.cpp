// Draws the program's icons into a folder: zaviron-drawicons OUTPUT_DIR (run with QT_QPA_PLATFORM=offscreen).
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>

namespace {

QImage canvas(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void setup(QPainter &p) { p.setRenderHint(QPainter::Antialiasing); }

QImage install()
{
    QImage img = canvas(272);
    QPainter p(&img);
    setup(p);
    // The folder: a tab on top, then the body with a soft vertical gradient.
    QPainterPath tab;
    tab.addRoundedRect(QRectF(24, 40, 100, 40), 10, 10);
    p.fillPath(tab, QColor(196, 120, 30));
    QLinearGradient body(0, 60, 0, 230);
    body.setColorAt(0, QColor(250, 178, 70));
    body.setColorAt(1, QColor(214, 120, 24));
    QPainterPath folder;
    folder.addRoundedRect(QRectF(16, 64, 240, 168), 16, 16);
    p.fillPath(folder, body);
    p.setPen(QPen(QColor(150, 80, 10), 3));
    p.drawPath(folder);
    // The emblem: a ring of three heads on a white disc.
    const QPointF c(136, 132);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(c, 50, 50);
    p.setPen(QPen(QColor(221, 72, 20), 12));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 28, 28);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        const double a = (i * 120.0 - 90.0) * M_PI / 180.0;
        const QPointF head(c.x() + 38 * std::cos(a), c.y() + 38 * std::sin(a));
        p.setBrush(Qt::white);
        p.drawEllipse(head, 14, 14);
        p.setBrush(QColor(221, 72, 20));
        p.drawEllipse(head, 9, 9);
    }
    // The caption.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(26);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRectF(16, 186, 240, 44), Qt::AlignCenter, QStringLiteral("Установка ПО"));
    return img;
}

QImage tick()
{
    QImage img = canvas(64);
    QPainter p(&img);
    setup(p);
    QPainterPath path;
    path.moveTo(10, 34);
    path.lineTo(26, 50);
    path.lineTo(54, 14);
    p.setPen(QPen(QColor(20, 120, 20), 12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(QColor(70, 200, 60), 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    return img;
}

QImage cross()
{
    QImage img = canvas(64);
    QPainter p(&img);
    setup(p);
    for (const QPen &pen : {QPen(QColor(130, 10, 10), 13, Qt::SolidLine, Qt::RoundCap),
                            QPen(QColor(225, 45, 40), 8, Qt::SolidLine, Qt::RoundCap)}) {
        p.setPen(pen);
        p.drawLine(QPointF(14, 14), QPointF(50, 50));
        p.drawLine(QPointF(50, 14), QPointF(14, 50));
    }
    return img;
}

QImage pencil()
{
    QImage img = canvas(64);
    QPainter p(&img);
    setup(p);
    p.translate(32, 32);
    p.rotate(45);
    p.setPen(QPen(QColor(10, 40, 110), 2));
    p.setBrush(QColor(40, 110, 210));
    p.drawRect(QRectF(-8, -26, 16, 36));         // the shaft
    p.setBrush(QColor(240, 200, 150));
    QPolygonF point({QPointF(-8, 10), QPointF(8, 10), QPointF(0, 26)});
    p.drawPolygon(point);                         // the sharpened wood
    p.setBrush(QColor(10, 40, 110));
    p.drawPolygon(QPolygonF({QPointF(-3, 20), QPointF(3, 20), QPointF(0, 26)})); // the lead
    p.setBrush(QColor(150, 170, 200));
    p.drawRect(QRectF(-8, -30, 16, 6));           // the cap
    return img;
}

QImage sign(bool plus)
{
    QImage img = canvas(16);
    QPainter p(&img);
    setup(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 90, 200));
    p.drawRoundedRect(QRectF(1, 6, 14, 4), 1, 1);
    if (plus)
        p.drawRoundedRect(QRectF(6, 1, 4, 14), 1, 1);
    return img;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: zaviron-drawicons OUTPUT_DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const bool ok = install().save(dir.filePath(QStringLiteral("install.png"))) &&
                    tick().save(dir.filePath(QStringLiteral("ok.png"))) &&
                    cross().save(dir.filePath(QStringLiteral("cancel.png"))) &&
                    pencil().save(dir.filePath(QStringLiteral("change.png"))) &&
                    sign(true).save(dir.filePath(QStringLiteral("add.png"))) &&
                    sign(false).save(dir.filePath(QStringLiteral("delete.png")));
    return ok ? 0 : 1;
}

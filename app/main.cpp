#include <QApplication>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>

#include "app/formstart.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zaviron"));

    QSettings settings;
    QString styleName = settings.value(QStringLiteral("Style"), QStringLiteral("WindowsVista")).toString();
    const QStringList styles = QStyleFactory::keys();
    // The setting must name a style exactly as the factory lists it; anything else gets the fallback.
    if (!styles.contains(styleName, Qt::CaseSensitive))
        styleName = QStringLiteral("Cleanlooks");
    QApplication::setStyle(QStyleFactory::create(styleName));
    QApplication::setPalette(QApplication::style()->standardPalette());

    FormStart start;
    start.setVisible(true);
    return app.exec();
}

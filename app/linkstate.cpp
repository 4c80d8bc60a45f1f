#include "app/linkstate.h"

#include <QNetworkInterface>
#include <QtGlobal>
#if QT_VERSION >= QT_VERSION_CHECK(6, 4, 0)
#include <QNetworkInformation>
#endif

namespace {
bool interfaceUp()
{
    const auto wanted = QNetworkInterface::IsUp | QNetworkInterface::IsRunning;
    for (const QNetworkInterface &link : QNetworkInterface::allInterfaces()) {
        if ((link.flags() & wanted) != wanted || link.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &entry : link.addressEntries())
            if (!entry.ip().isLinkLocal())
                return true;
    }
    return false;
}
} // namespace

bool anyLinkUp(QString *how)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 4, 0)
    // NetworkManager's own view, where it runs; it keeps the backend up to date over D-Bus. The other backend on
    // Linux (glib's monitor of the routes) is not asked: within a process it lags behind the links it watches.
    if (QNetworkInformation::loadBackendByName(u"networkmanager")) {
        const QNetworkInformation *info = QNetworkInformation::instance();
        if (info->reachability() != QNetworkInformation::Reachability::Unknown) {
            if (how)
                *how = info->backendName();
            return info->reachability() != QNetworkInformation::Reachability::Disconnected;
        }
    }
#endif
    if (how)
        *how = QStringLiteral("interfaces");
    return interfaceUp();
}

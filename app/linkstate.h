#pragma once

#include <QString>

/// Is at least one network link up? The start window asks before anything that needs the package mirrors.
/// Qt 6: NetworkManager's answer (QNetworkInformation) where its backend loads and knows the state; else,
/// and always on Qt 5, the interfaces themselves: one that is up and running, not the loopback, with an address
/// beyond its own link (the kernel gives every link that is up an IPv6 address of the link alone). Read afresh on
/// every call. `how` gets what answered: the backend's name, or "interfaces".
bool anyLinkUp(QString *how = nullptr);

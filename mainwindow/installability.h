#ifndef ZAVIRON_INSTALLABILITY_H
#define ZAVIRON_INSTALLABILITY_H

#include <QMap>
#include <QStringList>
#include <functional>

#include "app/process.h"

namespace Installability {
struct Outcome {
    QMap<QString, QString> failures;
    int simulations = 0;
};
Outcome judge(const QStringList &names, const std::function<ProcessResult(const QStringList &)> &simulate);
} // namespace Installability

#endif

#include "mainwindow/installability.h"

#include "mainwindow/aptcommands.h"

Installability::Outcome Installability::judge(const QStringList &names,
                                              const std::function<ProcessResult(const QStringList &)> &simulate)
{
    Outcome outcome;
    if (names.size() > 1) {
        ++outcome.simulations;
        if (simulate(names).succeeded())
            return outcome;
    }
    for (const QString &name : names) {
        ++outcome.simulations;
        const QString failure = AptCommands::simulationFailure(simulate({name}));
        if (!failure.isEmpty())
            outcome.failures.insert(name, failure);
    }
    return outcome;
}

#ifndef TERMWIDGETHOLDER_H
#define TERMWIDGETHOLDER_H

#include <QString>
#include <QWidget>

class TermWidget;

/// A tab's page: keeps the command line and lays out its one terminal in a splitter. When the command ends it
/// reports finished() and closes the window it sits in.
class TermWidgetHolder : public QWidget
{
    Q_OBJECT

public:
    explicit TermWidgetHolder(const QString &command, QWidget *parent = nullptr);

    /// A terminal running program, or the kept command line when program is empty.
    TermWidget *newTerm(const QString &program);

    /// The terminal in the splitter.
    TermWidget *terminal() const;

signals:
    void finished();

private slots:
    void handle_finished();

private:
    QString command;
};

#endif

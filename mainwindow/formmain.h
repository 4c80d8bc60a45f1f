#ifndef FORMMAIN_H
#define FORMMAIN_H

#include <QDialog>
#include <QStringList>
#include <QTimer>

#include "catalogue/cataloguecodec.h"
#include "ui_formmain.h"

class QCloseEvent;
class QTimerEvent;

/// The working window: the catalogue table with its check boxes, the status line, the buttons, and the workflow
/// that checks and installs the marked programs. Its constructor does the whole start-up.
class FormMain : public QDialog, public Ui::FormMain
{
    Q_OBJECT

public:
    explicit FormMain(QWidget *parent = nullptr);
    ~FormMain() override;

    /// The package being installed; the terminal window shows it in its header.
    static QString instProg;

    // Catalogue file and table.
    bool loadFile();
    void setProg(int row, QString title, QString description, QString installTitle, QString ppa, QString getAptKey,
                 QString aptListEntry);
    bool saveFile();
    bool delRow(int row);

    // Package status.
    void checkInstallProg();
    QString readStatus(QString package);

    // Installability check and repository preparation.
    void checkTrueInstallProg();
    void addPPASources(QString ppa);
    void addDataKey(QString keyUrl);
    void addAptSources(QString line);

    // Installation run.
    void operation();

    // Log lines.
    void writeLog(QString message);
    void writeError(QString message);

public slots:
    void startFormMain();
    void clickCheckBox(int row, int column);
    void addPPA();
    void checkFinishInstall();

private slots:
    void cancel();
    void ok();
    void check();
    void addKey();
    void addApt();
    void aptGetUpdate();
    bool checkOperation();
    void createListProg();
    void createListInstallProg();
    void addItemList();
    bool editItemList();
    bool deleteProg();
    void setSpeed(int speed);
    void messageError();
    void installProg();

protected:
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    friend struct FormMainProbe; // tests reach the workflow state through this

    QStringList listProg;
    QStringList listApt;
    QString runningText;
    int indexProg = 0;
    int runningPos = 0;
    int speedTimerId = 0;
    QTimer watchTimer;
    bool needUpdate = false;

    bool closing = false; // cancel() runs once per window, even when its close() re-enters closeEvent

    QVector<CatalogueEntry> tableEntries() const;              // the table's rows as catalogue entries
    bool writeEntries(const QVector<CatalogueEntry> &entries); // rewrites the catalogue file with them

    void showRowMarked(int row);
    void showRowUnmarked(int row);

    // One preparation step: add the field in column of every marked row that has it filled.
    void prepareRepositoryData(int column, const QString &progressText, void (FormMain::*add)(QString));
    void finishCheck();        // the end of the installability check: final texts, the summary of failures
    void closeNothingMarked(); // no row is marked: say so and close the window
    void finishInstall();      // the end of the installation run: final texts, the button becomes "Закрыть"
};

#endif

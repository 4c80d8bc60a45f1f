#ifndef ZAVIRON_FORMMAIN_H
#define ZAVIRON_FORMMAIN_H

#include <QDialog>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include "catalogue/cataloguecodec.h"
#include "mainwindow/checkreport.h"
#include "mainwindow/sourcesplan.h"
#include "mainwindow/rowstate.h"
#include "mainwindow/workflow.h"
#include "ui_formmain.h"

class FormTerminal;
class QCloseEvent;
class QTimerEvent;

/// The working window: the catalogue table with its check boxes, the status line, the buttons, and the workflow
/// that checks and installs the marked programs. Its constructor does the whole start-up.
///
/// Each row's state (RowState) is kept in the status cell; everything a row shows is derived from it by showRow().
/// The two chains, each link a pointer-to-member timer or signal (pauses in ms, shortened by Timing in tests):
///
///   ButtonCheck: check() -2000-> addPPA() -2000-> addKey() -2000-> addApt()
///                  addApt(): nothing to refresh, or the user says no ----------------> createListProg()
///                            the user says yes -1000-> aptGetUpdate() [terminal] -end-> createListProg()
///                createListProg() -> checkTrueInstallProg() -400-> checkOperation() -> next package ... -> finishCheck()
///
///   ButtonOK:    ok() -> createListInstallProg() -> operation() -1000-> installProg() [terminal]
///                  -end-> checkFinishInstall() -> operation() for the next package ... -> finishInstall()
///                stopped (the terminal's abort, or the window closed): installProg() or checkFinishInstall()
///                  -> stopRun() -> repairThenFinish() [waits for dpkg's lock; dpkg --configure -a] -> finishInstall()
///
/// Closing the window (cancel()) stops both chains: every step first asks stopped(). During an installation the
/// window stays until dpkg has finished what it began and the repair has run; a second close while that waits for
/// dpkg's lock ends the wait (not dpkg).
///
/// Hidden commands (runProgram) turn the event loop while they wait, so a close, a timer or a click may be handled
/// inside any step that runs one: every such step asks stopped() after the call, and the window is not freed while
/// a wait is on the stack (event()).
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

    // The state of a row, and showing a row in a state.
    RowState rowState(int row) const;
    void showRow(int row, RowState state);

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
    bool event(QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override; // Esc: the same way out as the close control

private:
    QStringList listProg;
    QStringList listApt;
    QString runningText;
    int indexProg = 0;
    int runningPos = 0;
    int speedTimerId = 0;
    QTimer watchTimer;
    bool needUpdate = false;
    QPointer<FormTerminal> installTerminal; // the terminal of the package being installed

    bool closing = false; // set once by the first close; read only through stopped()
    bool closed = false;  // the window has closed: nothing of it runs any more

    // The installation run: running, stopped and finishing what dpkg began (repairThenFinish), or over.
    enum class Run { Idle, Installing, Finishing, Over } run = Run::Idle;
    bool closeAfterRun = false; // the window was closed during the run: it closes once the run is over
    bool lockWait = false;      // repairThenFinish waits for dpkg's lock: a close ends that wait
    QString lockTold;           // the lock holder last told ("path pid"), so each is told once
    QTimer lockWatch;           // while a package installs: is another program in the way?

    // Why the catalogue this window loaded must not be written (damaged, or not ours); empty: it may be.
    QString catalogueRefusal;

    // The installability check's results, kept in memory.
    QString checkFailure;        // why the package being checked cannot be installed; empty: it can
    QMap<QString, QString> checkFailures; // every package that cannot be installed, with apt's reason
    QString checkErrors;         // the error lines of this check, for its summary
    QVector<CheckReport::Added> addedToSystem; // the PPAs, keys and sources lines this check added
    Workflow::RepoPlan repoPlan;         // the marked rows' repository fields, as the check found them
    QMap<int, SourcesPlan::Decision> lineDecisions; // index in repoPlan.rows -> what its sources line comes to
    QMap<QString, SourcesPlan::Saved> keySaved;     // key URL -> its file before this check stored the key
    QStringList takenBack;  // what this check added and took back after the refresh failed on it
    bool refreshedAgain = false; // the lists were refreshed once more after a take-back
    QMap<QString, QString> keyFiles;     // key URL -> the file it is stored in, this check
    QMap<QString, QString> keyFailures;  // key URL -> why it was not stored
    QMap<QString, QString> repoFailures; // package -> why its row's repository was not added
    std::unique_ptr<QTemporaryDir> updateDir; // private: the refresh leaves its outcome here
    QString updateNote;          // for the summary: the refresh failed after this check added entries

    /// True once the window has been closed: no step of a workflow starts or goes on after that.
    bool stopped() const { return closing; }
    void freeWhenIdle(); // frees the window once no hidden command is waited for (event())

    QVector<CatalogueEntry> tableEntries() const;              // the table's rows as catalogue entries
    QVector<RowState> rowStates() const;                       // the state of every row
    bool writeEntries(const QVector<CatalogueEntry> &entries); // rewrites the catalogue file with them
    QString cell(int row, int column) const;                   // a cell's text, empty when it has no item
    bool changeAllowed();                                      // add, edit, delete: false after a box saying why

    // One preparation step: the plan's fields for this step (its part of the plan), each handed to add.
    void prepareRepositoryData(QString Workflow::RepoRow::*field, const QString &progressText,
                               void (FormMain::*add)(QString));
    void repositoryFailure(const QString &logLine); // a log line, and a line in the check's summary
    void planSources();                // what the marked rows' lines come to, from apt's reading of the sources
    void refuseRow(const QString &package, const QString &why); // the row's repository is not added, for this reason
    bool rowRefused(int index) const;  // the row's line was refused: nothing of its repository is added
    void applyLine(int index);         // writes a row's line as planned, when apt can read and fetch it
    void takeBack(const QVector<int> &failed); // takes back these entries of addedToSystem
    void finishCheck();        // the end of the installability check: final texts, the summary of failures
    void closeNothingMarked(); // no row is marked: say so and close the window
    void stopRun(int firstSkipped); // no further package: the rest are told as not installed, then repairThenFinish()
    void repairThenFinish();   // after an abort: "dpkg --configure -a" in a terminal when dpkg reports a package left half done
    void finishInstall();      // the end of the installation run: rows as dpkg says, final texts, "Закрыть"
    void watchLocks();         // tells which other program holds the package manager's lock, if one does
    bool tellLock(const QString &path, bool anyHolder); // tells path's holder once; false when nobody is told of
};

#endif

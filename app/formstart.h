#ifndef ZAVIRON_FORMSTART_H
#define ZAVIRON_FORMSTART_H

#include <QDialog>

#include "ui_formstart.h"

/// The start window: runs the pre-flight checks one after another, then hands over to the main window.
///
/// Each link is a single-shot timer (pauses in ms, shortened by Timing in tests); a step arms the next before its own
/// work, so a step that blocks only delays it:
///
///   constructor -> inicialProg() -1500-> checkFileName() -1500-> checkInternet() -1500-> deleteAptLock()
///                  -1500-> addPartnerRepo() -1500-> openLockFile() -1600-> stopProg() -1000-> closeFormStart()
///                  [FormMain, modal]
///
///   checkFileName(): the instance lock is held elsewhere, or cannot be taken at all: a box, then the window closes
///                    and the chain ends; a stale /tmp lock file is replaced and the chain goes on.
///   checkInternet(): no link up: a box, then the window closes and the chain ends.
///
/// With no window left after a box the application quits.
class FormStart : public QDialog, public Ui::FormStart
{
    Q_OBJECT

public:
    explicit FormStart(QWidget *parent = nullptr);

    void inicialProg();
    void insertImage();
    void setProgressBar();
    void startProgressBar();
    void writeLog(QString text);

public slots:
    void checkFileName();
    void checkInternet();
    void deleteAptLock();
    void addPartnerRepo();
    void openLockFile();
    void stopProg();
    bool closeFormStart();

private:
    bool writeLockFile(QString *error); // /tmp/zaviron.lock created anew, holding what pidof says of the program
    void showStatus(const QString &text); // the step's text inside the bar, and the sweep from 0 to 100
};

#endif

#ifndef ZAVIRON_FORMSTART_H
#define ZAVIRON_FORMSTART_H

#include <QDialog>

#include "ui_formstart.h"

/// The start window: runs the pre-flight checks one after another, then hands over to the main window.
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
    void showStatus(const QString &text); // the step's text inside the bar, and the sweep from 0 to 100
};

#endif

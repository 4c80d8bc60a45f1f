// Repository preparation: PPAs, keys and sources lines of the marked rows, then the refresh of the package lists.
#include "mainwindow/formmain.h"

void FormMain::addPPA() {}
void FormMain::addKey() {}
void FormMain::addApt() {}
void FormMain::aptGetUpdate() {}
void FormMain::addPPASources(QString) {}
void FormMain::addDataKey(QString) {}
void FormMain::addAptSources(QString) {}

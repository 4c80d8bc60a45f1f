// Installability check: one simulated installation per marked package.
#include "mainwindow/formmain.h"

void FormMain::check() {}
void FormMain::createListProg() {}
void FormMain::checkTrueInstallProg() {}
bool FormMain::checkOperation() { return true; }

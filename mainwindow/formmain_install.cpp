// Installation run: the marked packages one by one, each in its own terminal window.
#include "mainwindow/formmain.h"

void FormMain::ok() {}
void FormMain::createListInstallProg() {}
void FormMain::operation() {}
void FormMain::installProg() {}
void FormMain::checkFinishInstall() {}
void FormMain::messageError() {}

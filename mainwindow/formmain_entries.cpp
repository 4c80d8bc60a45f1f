// Adding, editing and deleting catalogue entries from the main window.
#include "mainwindow/formmain.h"

void FormMain::addItemList() {}
bool FormMain::editItemList() { return false; }
bool FormMain::deleteProg() { return true; }

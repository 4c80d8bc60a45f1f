#include "mainwindow/repocommands.h"

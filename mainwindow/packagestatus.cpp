#include "mainwindow/packagestatus.h"

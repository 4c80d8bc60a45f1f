#include "terminal/termwidget.h"

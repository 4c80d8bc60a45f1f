#include "terminal/tabwidget.h"

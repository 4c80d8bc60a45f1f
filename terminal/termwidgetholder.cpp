#include "terminal/termwidgetholder.h"

#include "app/lockprobe.h"

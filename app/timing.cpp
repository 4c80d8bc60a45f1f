#include "app/timing.h"

namespace {
double g_scale = 1.0;
}

int Timing::ms(int milliseconds)
{
    return g_scale == 1.0 ? milliseconds : static_cast<int>(milliseconds * g_scale);
}

void Timing::setScale(double factor) { g_scale = factor; }

#ifndef ZAVIRON_TIMING_H
#define ZAVIRON_TIMING_H

/// The workflow's fixed delays go through here, so a test can shorten them all at once.
namespace Timing {
int ms(int milliseconds);      ///< the delay to arm, scaled
void setScale(double factor);  ///< 1.0 in the program; tests may shrink it
} // namespace Timing

#endif

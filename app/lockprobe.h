#ifndef LOCKPROBE_H
#define LOCKPROBE_H

#endif

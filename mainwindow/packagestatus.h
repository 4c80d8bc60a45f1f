#ifndef PACKAGESTATUS_H
#define PACKAGESTATUS_H

#endif

#ifndef REPOCOMMANDS_H
#define REPOCOMMANDS_H

#endif

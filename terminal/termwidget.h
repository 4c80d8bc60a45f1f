#ifndef TERMWIDGET_H
#define TERMWIDGET_H

#endif

#ifndef TABWIDGET_H
#define TABWIDGET_H

#endif

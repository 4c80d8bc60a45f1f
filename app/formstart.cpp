#include "app/formstart.h"

FormStart::FormStart(QWidget *parent) : QDialog(parent) { setupUi(this); }

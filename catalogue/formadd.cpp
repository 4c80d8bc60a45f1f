#include "catalogue/formadd.h"

FormAdd::FormAdd(QWidget *parent) : QDialog(parent) { setupUi(this); }

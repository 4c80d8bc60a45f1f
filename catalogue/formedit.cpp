#include "catalogue/formedit.h"

FormEdit::FormEdit(QWidget *parent) : QDialog(parent) { setupUi(this); }

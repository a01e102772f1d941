#include "cd/form_CDBurn.h"

TFormCDBurn* FormCDBurn = nullptr;

TFormCDBurn::TFormCDBurn(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("CD Burn");
}

#include "windows/form_Transformation.h"

TFormTransformation* FormTransformation = nullptr;

TFormTransformation::TFormTransformation(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Transformation");
}

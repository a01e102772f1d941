#include "windows/form_Transition.h"

TFormTransition* FormTransition = nullptr;

TFormTransition::TFormTransition(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Transition");
}

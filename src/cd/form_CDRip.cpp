#include "cd/form_CDRip.h"

TFormCDRip* FormCDRip = nullptr;

TFormCDRip::TFormCDRip(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("CD Rip");
}

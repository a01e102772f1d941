#include "windows/form_MixView.h"

TFormMixView* FormMixView = nullptr;

TFormMixView::TFormMixView(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Mix View");
}

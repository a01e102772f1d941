#include "cd/form_Record.h"

TFormRecord* FormRecord = nullptr;

TFormRecord::TFormRecord(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Record");
}

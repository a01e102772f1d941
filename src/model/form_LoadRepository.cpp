#include "model/form_LoadRepository.h"

TFormLoadRepository* FormLoadRepository = nullptr;

TFormLoadRepository::TFormLoadRepository(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Load Repository");
}

#pragma once

class TFormTrace;
extern TFormTrace* FormTrace;

// Creates the program's windows, hidden, in start-up order; the main window first.
void CreateForms();
// Frees them in reverse order (at program exit).
void DestroyForms();

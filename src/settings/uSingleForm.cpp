#include <windows.h>

#include "settings/uSingleForm.h"

TSingleForm::TSingleForm(TForm *owner) : TForm(owner) { LoadDesign("SINGLEFORM"); }

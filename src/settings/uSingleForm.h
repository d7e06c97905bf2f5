#pragma once
#include <windows.h>

#include "forms/uForms.h"

// A blank form from its stored design: the base of windows that build their controls in code.
class TSingleForm : public TForm {
public:
  explicit TSingleForm(TForm *owner);
};

// screen: 1024x768x24
// dpi: 120
// The windows on a screen scaled to 125 %.
#include <windows.h>

constexpr int kDpi = 120;
#include "scaled_forms.h"

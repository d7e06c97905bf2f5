// screen: 1920x1080x24
// dpi: 192
// The windows on a screen scaled to 200 %.
#include <windows.h>

constexpr int kDpi = 192;
#include "scaled_forms.h"

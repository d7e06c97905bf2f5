// Another program's always-on-top window, as a slideshow puts up: it covers the top left corner
// of the screen, takes the activation, and stays until it is closed (or for 30 seconds).
// Arguments "left top width height [hidden]" put it elsewhere, or keep it hidden and inactive.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR args, int) {
  int left = 0, top = 0, width = 400, height = 300;
  char hidden[16] = {};
  if (args) std::sscanf(args, "%d %d %d %d %15s", &left, &top, &width, &height, hidden);
  const bool visible = std::strcmp(hidden, "hidden") != 0;
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "TavelinTestCover";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Cover",
                             WS_POPUP | (visible ? WS_VISIBLE : 0), left, top, width, height,
                             nullptr, nullptr, instance, nullptr);
  if (!wnd) return 1;
  if (visible) SetForegroundWindow(wnd);
  // Found by the tests only now: shown and activated, it no longer moves in the stacking order.
  SetWindowTextA(wnd, "Cover ready");
  SetTimer(wnd, 1, 30000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER || (msg.message == WM_CLOSE)) break;
    DispatchMessageA(&msg);
  }
  return 0;
}

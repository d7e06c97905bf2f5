// Another program's always-on-top window, as a slideshow puts up: it covers the top left corner
// of the screen, takes the activation, and stays until it is closed (or for 30 seconds).
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "TavelinTestCover";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Cover", WS_POPUP | WS_VISIBLE, 0,
                             0, 400, 300, nullptr, nullptr, instance, nullptr);
  if (!wnd) return 1;
  SetForegroundWindow(wnd);
  SetTimer(wnd, 1, 30000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER || (msg.message == WM_CLOSE)) break;
    DispatchMessageA(&msg);
  }
  return 0;
}

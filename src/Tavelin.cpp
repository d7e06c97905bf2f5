#include <windows.h>

#include <memory>

#include "app/UMain.h"
#include "app/uTakeUp.h"
#include "forms/uApplication.h"
#include "settings/uConfig.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  Application.Initialize(instance);
  // Every setting is in memory before any window exists; a store that cannot be read stops the
  // program with its message, not with a crash.
  try {
    CreateAppConfig();
  } catch (const std::exception &e) {
    MessageBoxA(nullptr, e.what(), Application.Title().c_str(), MB_OK | MB_ICONERROR);
    return 1;
  }
  int result = 0;
  try {
    // A run left open by a Tavelin that did not close: its settings are the main window's.
    const std::optional<TRunRecord> interrupted = FindInterruptedRun(true);
    auto mainWindow = std::make_unique<TMain>();
    Main = mainWindow.get();
    Application.SetMainForm(Main);
    Main->CreateHandle();
    AppConfig->LoadWindowSetting(wkMainWindow, nullptr, 0);
    if (interrupted) TakeUpRun(*interrupted);
    result = Application.Run();
    Main = nullptr;
  } catch (...) {
    Application.HandleException();
    result = 1;
  }
  ReleaseAppConfig();
  return result;
}

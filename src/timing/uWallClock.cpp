#include <windows.h>

#include "timing/uWallClock.h"

#include "forms/uApplication.h"

TLocalTimeProc LocalTimeProc = &GetLocalTime;

int64_t LocalMsOfDay() {
  SYSTEMTIME t{};
  LocalTimeProc(&t);
  return ((int64_t{t.wHour} * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

TRunToEnd RunUntilEndNow(int endMinute) {
  TRunToEnd run = RunUntilEnd(endMinute, LocalMsOfDay());
  if (run.Seconds == 0) ShowMessageBox(EndPassedText, "Avertissement", MB_OK | MB_ICONWARNING);
  return run;
}

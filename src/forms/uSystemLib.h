// uSystemLib - functions of system libraries that not every Windows has, looked up at run time
// rather than linked; and COM, which the shell needs set up.
#pragma once
#include <windows.h>

// `name` in the system library `library` ("shcore.dll"), or null where it is missing. The library
// is loaded from the system folder only: a file of that name in the current folder, beside a
// lesson's documents, is never loaded (shcore.dll is absent from Windows 7).
void *SystemProc(const wchar_t *library, const char *name);

// True under Wine, whose ntdll exports wine_get_version; never on Windows.
bool RunningUnderWine();

template <class F>
F SystemFunction(const wchar_t *library, const char *name) {
  return reinterpret_cast<F>(SystemProc(library, name));
}

// COM on the calling thread while it lives: the shell may hand ShellExecute's work to COM
// objects, and wants it set up as a single-threaded apartment before that call.
class TComScope {
public:
  TComScope();
  ~TComScope();
  TComScope(const TComScope &) = delete;
  TComScope &operator=(const TComScope &) = delete;

private:
  bool initialised_ = false;
};

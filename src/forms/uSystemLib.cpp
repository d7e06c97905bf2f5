#include <windows.h>

#include "forms/uSystemLib.h"

#include <objbase.h>

#include <string>

void *SystemProc(const wchar_t *library, const char *name) {
  HMODULE module = GetModuleHandleW(library);
  if (!module) module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
    // Windows 7 without its 2011 loader update knows no search flags: the full path of the system
    // folder then says the same.
    wchar_t folder[MAX_PATH];
    UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
      module = LoadLibraryExW((std::wstring(folder, n) + L"\\" + library).c_str(), nullptr,
                              LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return module ? reinterpret_cast<void *>(GetProcAddress(module, name)) : nullptr;
}

bool RunningUnderWine() { return SystemProc(L"ntdll.dll", "wine_get_version") != nullptr; }

TComScope::TComScope()
    : initialised_(SUCCEEDED(
          CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}

TComScope::~TComScope() {
  if (initialised_) CoUninitialize();
}

#include <windows.h>

#include "app/uProcesVerbal.h"

#include <shellapi.h>

#include <string>

#include "forms/uApplication.h"
#include "forms/uSystemLib.h"
#include "timing/uJournalKeeper.h"

TJournalShellProc JournalShellProc = &ShellExecuteW;

namespace {
void ShowPathBox(HWND owner, const std::string &text, const std::wstring &path) {
  const int n = MultiByteToWideChar(1252, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring message(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(1252, 0, text.data(), int(text.size()), message.data(), n);
  message += L"\n\n" + path;
  MessageBoxW(owner, message.c_str(), L"Information", MB_OK | MB_ICONINFORMATION);
}
}  // namespace

void ShowProcesVerbal(HWND owner) {
  const TPageWritten page = WriteProcesVerbal();
  if (!page.HasRun) {
    ShowMessageBox("Aucun chronométrage n'a encore eu lieu: il n'y a pas de procès-verbal à écrire.",
                   "Information", MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!page.Written) {
    ShowPathBox(owner, "Le procès-verbal n'a pas pu être écrit:", page.Path);
    return;
  }
  // The shell may hand the page to a program through COM, on this thread.
  TComScope com;
  HINSTANCE opened =
      JournalShellProc(owner, L"open", page.Path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(opened) <= 32)
    ShowPathBox(owner,
                "Aucun programme n'ouvre les pages HTML sur cet ordinateur. Le procès-verbal est "
                "enregistré ici:",
                page.Path);
}

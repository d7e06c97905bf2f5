// uProcesVerbal - "&Journal..." in the main window's menu: the procès-verbal of the latest run,
// written by the journal's keeper, opened with the system's program for HTML pages.
#pragma once
#include <windows.h>

// A box tells when there is no run yet, when the page cannot be written, and where it is when no
// program opens it.
void ShowProcesVerbal(HWND owner);

// ShellExecuteW; tests put their own here.
using TJournalShellProc = HINSTANCE(WINAPI *)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
extern TJournalShellProc JournalShellProc;

#include <windows.h>

#include "timing/uJournalKeeper.h"

#include <shellapi.h>
#include <shlobj.h>

#include "forms/uApplication.h"
#include "forms/uSystemLib.h"
#include "settings/uConfig.h"
#include "timing/uWallClock.h"

namespace {

// FOLDERID_Documents, spelt out: the library that defines it is not one the program links.
const GUID DocumentsFolderId = {
    0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}};

std::wstring ShellDocuments() {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(DocumentsFolderId, KF_FLAG_CREATE, nullptr, &path)) && path)
    folder = path;
  // The shell's memory goes back to the allocator of COM, which the program does not link.
  using TFree = void(WINAPI *)(LPVOID);
  static const auto free = SystemFunction<TFree>(L"ole32.dll", "CoTaskMemFree");
  if (path && free) free(path);
  return folder;
}

struct TKeeper {
  TJournal Journal;
  TJournalQueue Queue;
};
TKeeper &Keeper() {
  static TKeeper keeper;
  return keeper;
}

std::wstring Widen(const std::string &text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(1252, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(1252, 0, text.data(), int(text.size()), wide.data(), n);
  return wide;
}

TJournalTime FromSystemTime(const SYSTEMTIME &t) {
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

TJournalTime LocalNow() {
  SYSTEMTIME t{};
  LocalTimeProc(&t);
  return FromSystemTime(t);
}

int64_t TickNow() { return int64_t(JournalTickProc()); }

bool KeepingFile() { return AppConfig && AppConfig->KeepJournal; }

// The folder made when it is missing; false when it cannot be.
bool MakeFolder(const std::wstring &folder) {
  return !folder.empty() &&
         (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
}

bool AppendToFile(const std::string &block) {
  const std::wstring folder = JournalFolder();
  if (!MakeFolder(folder)) return false;
  const std::wstring path = folder + L"\\Journal.csv";
  // Shared for reading and writing: a spreadsheet that has it open does not stop us, nor we it.
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool fresh = GetLastError() != ERROR_ALREADY_EXISTS;
  // An empty file (made by hand, or left by a write that failed) gets its header too.
  if (LARGE_INTEGER size{}; GetFileSizeEx(file, &size)) fresh = size.QuadPart == 0;
  const std::string data = fresh ? JournalFileHeader() + block : block;
  DWORD written = 0;
  bool ok = WriteFile(file, data.data(), DWORD(data.size()), &written, nullptr) &&
            written == data.size();
  ok = CloseHandle(file) && ok;
  return ok;
}

void TryWriting() {
  TJournalQueue &queue = Keeper().Queue;
  if (queue.Empty()) return;
  if (AppendToFile(queue.Waiting())) {
    queue.Written();
  } else if (queue.Failed(TickNow()) && OnJournalWriteFailed) {
    // The run goes on whatever the bar does with the news.
    try {
      OnJournalWriteFailed();
    } catch (const std::exception &) {
    }
  }
}

void Record(const TJournalTime &at, const char *event, const std::string &detail,
            const std::string &epreuve = {}) {
  try {
    std::string line = Keeper().Journal.Add(at, event ? event : "", detail, epreuve);
    if (KeepingFile() && Keeper().Queue.Push(line, TickNow())) TryWriting();
  } catch (const std::exception &) {
    // Memory ran out: the record is not worth the run.
  }
}

void ShowPathBox(HWND owner, const std::string &text, const std::wstring &path) {
  std::wstring message = Widen(text) + L"\n\n" + path;
  std::wstring caption = Widen("Information");
  MessageBoxW(owner, message.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

}  // namespace

TJournalDocumentsProc JournalDocumentsProc = &ShellDocuments;
TJournalTickProc JournalTickProc = &GetTickCount64;
TJournalShellProc JournalShellProc = &ShellExecuteW;
std::function<void()> OnJournalWriteFailed;

std::wstring JournalFolder() {
  std::wstring documents = JournalDocumentsProc ? JournalDocumentsProc() : std::wstring();
  if (documents.empty()) return {};
  if (documents.back() != L'\\') documents += L'\\';
  return documents + L"Tavelin";
}

void JournalRunStarted(const std::string &plan, const std::string &epreuve) {
  const TJournalTime now = LocalNow();
  Keeper().Journal.StartRun(now);
  Record(now, journal::Start, plan, epreuve);
}

void JournalRunTakenUp(int64_t startUtcMs, const std::string &detail) {
  constexpr int64_t unixEpochAsFileTime = 116'444'736'000'000'000;
  ULARGE_INTEGER ticks;
  ticks.QuadPart = uint64_t(startUtcMs * 10'000 + unixEpochAsFileTime);
  FILETIME utc{ticks.LowPart, ticks.HighPart};
  SYSTEMTIME universal{}, local{};
  // The time zone's rule of that day: a run started before a change of hour keeps its start.
  TJournalTime start = LocalNow();
  if (FileTimeToSystemTime(&utc, &universal) &&
      SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
    start = FromSystemTime(local);
  Keeper().Journal.StartRun(start);
  Record(LocalNow(), journal::TakenUp, detail);
}

void JournalEvent(const char *event, const std::string &detail, const std::string &epreuve) {
  Record(LocalNow(), event, detail, epreuve);
}

void JournalKept(const TJournal &run, const std::string &line) {
  try {
    Keeper().Journal = run;
    if (KeepingFile() && Keeper().Queue.Push(line, TickNow())) TryWriting();
  } catch (const std::exception &) {
    // Memory ran out: the record is not worth the run.
  }
}

void JournalRetry() {
  if (KeepingFile() && Keeper().Queue.RetryDue(TickNow())) TryWriting();
}

const TJournal &LatestJournal() { return Keeper().Journal; }
const TJournalQueue &JournalWaiting() { return Keeper().Queue; }

void ResetJournal() { Keeper() = TKeeper(); }

void ShowProcesVerbal(HWND owner) {
  const TJournal &run = Keeper().Journal;
  if (!run.HasRun()) {
    ShowMessageBox("Aucun chronométrage n'a encore eu lieu: il n'y a pas de procès-verbal à écrire.",
                   "Information", MB_OK | MB_ICONINFORMATION);
    return;
  }
  const std::wstring folder = JournalFolder();
  const std::wstring path = folder + L"\\" + Widen(ProcesVerbalFileName(run.RunStart()));
  const std::string page = ProcesVerbalHtml(run.RunStart(), run.Events());
  bool written = false;
  if (MakeFolder(folder)) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD done = 0;
      written = WriteFile(file, page.data(), DWORD(page.size()), &done, nullptr) &&
                done == page.size();
      written = CloseHandle(file) && written;
    }
  }
  if (!written) {
    ShowPathBox(owner, "Le procès-verbal n'a pas pu être écrit:", path);
    return;
  }
  HINSTANCE opened = JournalShellProc(owner, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(opened) <= 32)
    ShowPathBox(owner,
                "Aucun programme n'ouvre les pages HTML sur cet ordinateur. Le procès-verbal est "
                "enregistré ici:",
                path);
}

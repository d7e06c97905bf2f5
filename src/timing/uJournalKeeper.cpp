#include <windows.h>

#include "timing/uJournalKeeper.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "settings/uConfig.h"
#include "timing/uRunKeeper.h"
#include "timing/uWallClock.h"

namespace {

// FOLDERID_Documents and FOLDERID_LocalAppData, spelt out: the library that defines them is not
// one the program links.
const GUID DocumentsFolderId = {
    0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}};
const GUID LocalAppDataFolderId = {
    0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};

std::wstring KnownFolder(const GUID &id) {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path)) && path)
    folder = path;
  CoTaskMemFree(path);
  return folder;
}

std::wstring ShellDocuments() { return KnownFolder(DocumentsFolderId); }
std::wstring ShellLocalAppData() { return KnownFolder(LocalAppDataFolderId); }

struct TKeeper {
  TJournal Journal;
  TJournalQueue Queue;
  UINT_PTR RetryTimer = 0;
  size_t KeptLinesWritten = 0;  // lines another Tavelin kept, written by this one
  bool Kept = false;            // the file of waiting bytes may be there
  int Run = 0;                  // the latest run, counted from the program's start
  int PageRun = -1;             // the run whose procès-verbal was written last, to pagePath
  std::wstring PagePath;
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

// The journal's files are touched by one process at a time, whatever session of Windows the
// user's Tavelins run in; a Tavelin killed while it held the lock leaves it to the next.
class TFilesLock {
public:
  TFilesLock() {
    static HANDLE mutex = [] {
      const std::string global = UserGlobalName("TavelinJournal");
      HANDLE made = global.empty() ? nullptr : CreateMutexA(nullptr, FALSE, global.c_str());
      return made ? made : CreateMutexA(nullptr, FALSE, "Local\\TavelinJournal");
    }();
    if (!mutex) return;  // no lock to be had: on alone, as before any lock existed
    const DWORD got = WaitForSingleObject(mutex, 2'000);
    held_ = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED ? mutex : nullptr;
    refused_ = !held_;
  }
  ~TFilesLock() {
    if (held_) ReleaseMutex(held_);
  }
  TFilesLock(const TFilesLock &) = delete;
  TFilesLock &operator=(const TFilesLock &) = delete;
  // Another Tavelin kept it too long: nothing is touched this time.
  bool Refused() const { return refused_; }

private:
  HANDLE held_ = nullptr;
  bool refused_ = false;
};

// The whole of a file open for reading, from its start.
bool ReadAll(HANDLE file, std::string &bytes) {
  bytes.clear();
  char chunk[65536];
  DWORD got = 0;
  for (;;) {
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) return false;
    if (got == 0) return true;
    bytes.append(chunk, got);
  }
}

// The waiting entries appended to the journal, each that it does not hold yet; true when every
// one is in it, on disk.
bool AppendWaiting(const TJournalQueue &queue) {
  const std::wstring folder = JournalFolder();
  if (!MakeFolder(folder)) return false;
  const std::wstring path = folder + L"\\Journal.csv";
  // Shared for reading and writing: a spreadsheet that has it open does not stop us, nor we it.
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string held;
  bool ok = ReadAll(file, held);
  const std::string data = ok ? JournalAppend(held, queue.Entries()) : std::string();
  DWORD written = 0;
  ok = ok && (data.empty() || (JournalWriteProc(file, data.data(), DWORD(data.size()), &written, nullptr) &&
                               written == data.size() && FlushFileBuffers(file)));
  // Whatever reached the file is read back at the next try: nothing is written twice.
  CloseHandle(file);
  return ok;
}

// %LOCALAPPDATA%\Tavelin\Journal en attente.csv: the entries that wait, kept while they wait, so
// that neither the end of Tavelin nor its death loses them.
std::wstring KeptPath() {
  const std::wstring local = JournalLocalDataProc ? JournalLocalDataProc() : std::wstring();
  return local.empty() ? std::wstring() : local + L"\\Tavelin\\Journal en attente.csv";
}

// The entries of one kept file, when it is there and checks.
std::vector<TJournalEntry> ReadKeptFile(const std::wstring &path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  const bool read = ReadAll(file, bytes);
  CloseHandle(file);
  std::optional<std::vector<TJournalEntry>> entries;
  if (read) entries = ReadWaiting(bytes);
  return entries ? *entries : std::vector<TJournalEntry>();
}

// What the kept file holds, and its `.new` that a Tavelin killed before putting it in place left.
std::vector<TJournalEntry> ReadKept() {
  const std::wstring path = KeptPath();
  if (path.empty()) return {};
  TJournalQueue all;
  all.Merge(ReadKeptFile(path));
  all.Merge(ReadKeptFile(path + L".new"));
  return all.Entries();
}

// The kept file holds what waits: written beside it, on disk, then put in its place on disk, so
// that a Tavelin killed or a power cut meanwhile leaves the last whole one. Under the lock.
void KeepWaiting(const TJournalQueue &queue) {
  bool &kept = Keeper().Kept;
  const std::wstring path = KeptPath();
  if (path.empty() || (queue.Empty() && !kept)) return;
  const std::wstring fresh = path + L".new";
  if (queue.Empty()) {
    DeleteFileW(fresh.c_str());
    kept = !DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND;
    return;
  }
  kept = true;
  const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  if (!MakeFolder(folder)) return;
  const std::string data = PackWaiting(queue.Entries());
  HANDLE file = CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD done = 0;
  const bool whole = WriteFile(file, data.data(), DWORD(data.size()), &done, nullptr) &&
                     done == data.size() && FlushFileBuffers(file);
  if (CloseHandle(file) && whole)
    MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

void CALLBACK RetryTick(HWND, UINT, UINT_PTR, DWORD) { JournalRetry(); }

void Tell(const std::function<void()> &hook) {
  if (!hook) return;
  // Whatever a window does with the news, the journal goes on.
  try {
    hook();
  } catch (const std::exception &) {
  }
}

// Under the lock: what another Tavelin kept joins what waits here, so that neither replaces the
// other's, and whoever writes, writes them all.
void TryWriting() {
  TKeeper &keeper = Keeper();
  TJournalQueue &queue = keeper.Queue;
  const TFilesLock lock;
  const size_t own = queue.Lines();
  if (!lock.Refused()) queue.Merge(ReadKept());
  const size_t kept = queue.Lines() - own;
  // The kept file is ours to replace, or to remove once they are written.
  if (kept != 0) keeper.Kept = true;
  if (queue.Empty()) return;
  if (!lock.Refused() && AppendWaiting(queue)) {
    queue.Written();
    keeper.KeptLinesWritten += kept;
    if (keeper.RetryTimer) KillTimer(nullptr, std::exchange(keeper.RetryTimer, 0));
  } else {
    if (queue.Failed(TickNow())) Tell(OnJournalWriteFailed);
    // A thread's timer: it runs in every message loop, the bar's or the main window's or a box's.
    if (!keeper.RetryTimer) keeper.RetryTimer = SetTimer(nullptr, 0, 5'000, &RetryTick);
  }
  if (!lock.Refused()) KeepWaiting(queue);
  Tell(OnJournalWaiting);
}

// The last event of the latest run, for the file.
void Write(bool toFile) {
  if (!toFile) return;
  TJournalQueue &queue = Keeper().Queue;
  if (queue.Push(JournalEntryOf(Keeper().Journal), TickNow())) {
    TryWriting();
  } else {
    // Its turn comes with the others'; meanwhile it is kept with them.
    {
      const TFilesLock lock;
      if (!lock.Refused()) {
        queue.Merge(ReadKept());
        Keeper().Kept = true;
        KeepWaiting(queue);
      }
    }
    Tell(OnJournalWaiting);
  }
}

}  // namespace

TJournalDocumentsProc JournalDocumentsProc = &ShellDocuments;
TJournalDocumentsProc JournalLocalDataProc = &ShellLocalAppData;
TJournalWriteProc JournalWriteProc = &WriteFile;
TJournalTickProc JournalTickProc = &GetTickCount64;
std::function<void()> OnJournalWriteFailed;
std::function<void()> OnJournalWaiting;

std::wstring JournalFolder() {
  std::wstring documents = JournalDocumentsProc ? JournalDocumentsProc() : std::wstring();
  if (documents.empty()) return {};
  if (documents.back() != L'\\') documents += L'\\';
  return documents + L"Tavelin";
}

void JournalKept(const TJournal &run, const std::string &line, std::optional<bool> toFile) {
  try {
    // Another run than the latest (its first line, or a take-up's): its page is a new one.
    if (run.Events().size() <= 1 || !(run.RunStart() == Keeper().Journal.RunStart()) ||
        run.Events().size() < Keeper().Journal.Events().size())
      ++Keeper().Run;
    Keeper().Journal = run;
    // The line is that of the run's last event, which carries its identity.
    (void)line;
    Write(toFile.value_or(KeepingFile()));
  } catch (const std::exception &) {
    // Memory ran out: the record is not worth the run.
  }
}

void JournalRetry() {
  if (Keeper().Queue.RetryDue(TickNow())) TryWriting();
}

void JournalWriteNow() { TryWriting(); }

void JournalAtStart() {
  if (KeptPath().empty()) return;
  TKeeper &keeper = Keeper();
  // What an earlier Tavelin kept, written now, or waiting on.
  size_t kept = 0;
  {
    const TFilesLock lock;
    if (lock.Refused()) return;
    kept = ReadKept().size();
  }
  if (kept == 0) return;
  keeper.Kept = true;
  TryWriting();
}

std::string JournalStateText() {
  const TKeeper &keeper = Keeper();
  auto lines = [](size_t n) { return std::to_string(n) + (n > 1 ? " lignes" : " ligne"); };
  if (!keeper.Queue.Empty())
    return "Journal non écrit : " + lines(keeper.Queue.Lines()) + " en attente";
  if (keeper.KeptLinesWritten)
    return "Journal complété de " + lines(keeper.KeptLinesWritten) + " en attente";
  return {};
}

const TJournal &LatestJournal() { return Keeper().Journal; }
const TJournalQueue &JournalWaiting() { return Keeper().Queue; }

void ResetJournal() {
  if (Keeper().RetryTimer) KillTimer(nullptr, Keeper().RetryTimer);
  Keeper() = TKeeper();
}

TPageWritten WriteProcesVerbal() {
  TPageWritten result;
  const TJournal &run = Keeper().Journal;
  if (!run.HasRun()) return result;
  result.HasRun = true;
  TKeeper &keeper = Keeper();
  const std::wstring folder = JournalFolder();
  const std::string page = ProcesVerbalHtml(run.RunStart(), run.Events());
  // The latest run's page is written again in its own file; another run's never takes the name
  // of one already there (two runs started in one minute), but the next number.
  const bool again = keeper.PageRun == keeper.Run && !keeper.PagePath.empty();
  std::wstring &path = result.Path;
  path = again ? keeper.PagePath : folder + L"\\" + Widen(ProcesVerbalFileName(run.RunStart()));
  if (!MakeFolder(folder)) return result;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int copy = 1; copy <= 99 && file == INVALID_HANDLE_VALUE; ++copy) {
    if (!again) path = folder + L"\\" + Widen(ProcesVerbalFileName(run.RunStart(), copy));
    file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                       again ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && (again || GetLastError() != ERROR_FILE_EXISTS)) break;
  }
  if (file == INVALID_HANDLE_VALUE) return result;
  DWORD done = 0;
  result.Written =
      WriteFile(file, page.data(), DWORD(page.size()), &done, nullptr) && done == page.size();
  result.Written = CloseHandle(file) && result.Written;
  keeper.PageRun = keeper.Run;
  keeper.PagePath = path;
  return result;
}
